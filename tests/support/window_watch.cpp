#include "support/window_watch.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr int pollMs = 10;
constexpr int maxPolls = 500;

}  // namespace

void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer;
    poll->setInterval(pollMs);
    QObject::connect(poll, &QTimer::timeout, [poll, find = std::move(find), act = std::move(act), polls = 0]() mutable {
        QWidget* window = find();
        if (window == nullptr && ++polls < maxPolls)
            return;
        poll->stop();
        poll->deleteLater();
        if (window == nullptr) {
            ADD_FAILURE() << "the expected window never appeared";
            return;
        }
        act(window);
        if (window->isVisible())
            window->close();
    });
    poll->start();
}

void whenModalShows(std::function<void(QWidget*)> act)
{
    whenShown([] { return QApplication::activeModalWidget(); }, std::move(act));
}

}  // namespace velmora
