#include "view/mouse_handler_chain.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

// Writes its name into a shared log when asked, and answers as told.
class LoggingHandler : public MouseHandler {
public:
    LoggingHandler(std::string& log, char name, bool consumes) : log(log), name(name), consumes(consumes) {}
    bool handleMouse(std::uint32_t, double, double) override
    {
        log += name;
        return consumes;
    }
    virtual ~LoggingHandler() = default;

private:
    std::string& log;
    char name;
    bool consumes;
};

TEST(MouseHandlerChain, AsksInOrderUntilOneConsumes)
{
    std::string log;
    LoggingHandler a(log, 'a', false), b(log, 'b', true), c(log, 'c', true);
    MouseHandlerChain chain;
    chain.addHandler(&a);
    chain.addHandler(&b);
    chain.addHandler(&c);
    EXPECT_TRUE(chain.handleMouse(0, 0.0, 0.0));
    EXPECT_EQ("ab", log);
}

TEST(MouseHandlerChain, NoneConsumingReturnsFalseAfterAskingAll)
{
    MouseHandlerChain chain;
    EXPECT_FALSE(chain.handleMouse(MK_LBUTTON, 0.5, 0.5));
    std::string log;
    LoggingHandler a(log, 'a', false), b(log, 'b', false);
    chain.addHandler(&a);
    chain.addHandler(&b);
    EXPECT_FALSE(chain.handleMouse(0, 0.0, 0.0));
    EXPECT_EQ("ab", log);
}

}  // namespace
}  // namespace velmora
