#pragma once

#include <QWidget>

#include <functional>

namespace velmora {

// Calls act on the first window that find returns, as soon as one is up, then closes it if act left it
// open. Does not block: the window is typically shown by a modal loop the test itself is waiting in. Reports
// a test failure if nothing appears within five seconds.
void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act);

// The same for the next application-modal window (message box, about box, modal dialog).
void whenModalShows(std::function<void(QWidget*)> act);

}  // namespace velmora
