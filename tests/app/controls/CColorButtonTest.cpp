#include "app/controls/CColorButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

using app::CColorButton;

namespace {

const QColor kWhite = QColor::fromRgba(CColorButton::m_clrTop);
const QColor kLight = QColor::fromRgba(CColorButton::m_clrNormal);
const QColor kDark = QColor::fromRgba(CColorButton::m_clrHover);

void hover(CColorButton& button, bool in)
{
    if (in) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&button, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
    }
}

TEST(CColorButton, GradientFollowsHoverPressAndEnabledState)
{
    const struct {
        const char* name;
        bool enabled, hovered, down;
        QColor top, bottom;
    } cases[] = {
        {"normal", true, false, false, kWhite, kLight},
        {"mouse over", true, true, false, kWhite, kDark},
        {"held down with the mouse over", true, true, true, kDark, kWhite},
        {"held down after sliding off", true, false, true, kLight, kWhite},
        {"disabled, never blue", false, true, false, kWhite, QColor()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CColorButton button("&Yes");
        button.resize(80, 24);
        button.show();
        hover(button, c.hovered);
        button.setDown(c.down);
        button.setEnabled(c.enabled);
        const auto [top, bottom] = button.gradientColours();
        EXPECT_EQ(top, c.top);
        if (c.bottom.isValid())
            EXPECT_EQ(bottom, c.bottom);
        else
            EXPECT_NE(bottom, kDark);
        // It paints in every state, caption or none.
        EXPECT_FALSE(button.grab().isNull());
    }
}

TEST(CColorButton, HoverEndsWhenTheMouseLeaves)
{
    CColorButton button("OK");
    button.show();
    hover(button, true);
    EXPECT_TRUE(button.hovered());
    hover(button, false);
    EXPECT_FALSE(button.hovered());
}

TEST(CColorButton, ADoubleClickIsTwoClicks)
{
    CColorButton button("OK");
    button.resize(60, 20);
    button.show();
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    const QPointF at(10, 10);
    const auto send = [&](QEvent::Type type) {
        QMouseEvent event(type, at, button.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks.count(), 2);
}

} // namespace
