#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include "panel/ui/CGradientButtonCtrl.h"
#include "tests/panel/QtTestApp.h"

namespace {

class GradientButton : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        m_button = std::make_unique<CGradientButtonCtrl>(kIdleColours);
        m_button->setText("Run AIS Emulator");
        m_button->resize(200, 80);
        QObject::connect(m_button.get(), &QAbstractButton::clicked, [this] { ++m_clicks; });
        m_button->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_button.get()));
    }

    QColor PixelAt(int x, int y) { return m_button->grab().toImage().pixelColor(x, y); }

    std::unique_ptr<CGradientButtonCtrl> m_button;
    int m_clicks = 0;
};

TEST_F(GradientButton, FiresOnThePressNotTheRelease)
{
    QTest::mousePress(m_button.get(), Qt::LeftButton);
    EXPECT_EQ(m_clicks, 1);
    EXPECT_FALSE(m_button->isDown());   // no pressed look
    QTest::mouseRelease(m_button.get(), Qt::LeftButton);
    EXPECT_EQ(m_clicks, 1);
}

TEST_F(GradientButton, DoubleClickFiresTwiceThroughTheWindowSystem)
{
    // Press, release, press (with Qt's double-click event after it), release.
    QTest::mouseDClick(m_button->windowHandle(), Qt::LeftButton, {}, QPoint(100, 40));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_clicks, 2);
}

TEST_F(GradientButton, DoubleClickFiresTwiceWhenOnlyTheDoubleClickFollows)
{
    QTest::mouseClick(m_button.get(), Qt::LeftButton);
    QTest::mouseDClick(m_button.get(), Qt::LeftButton);   // a double-click event without a second press
    EXPECT_EQ(m_clicks, 2);
}

TEST_F(GradientButton, DisabledNeverFiresAndStaysNormal)
{
    m_button->setEnabled(false);
    QTest::mousePress(m_button.get(), Qt::LeftButton);
    QTest::mouseRelease(m_button.get(), Qt::LeftButton);
    QTest::mouseDClick(m_button.get(), Qt::LeftButton);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), m_button->mapToGlobal(QPointF(10, 10)));
    QCoreApplication::sendEvent(m_button.get(), &enter);
    EXPECT_EQ(m_clicks, 0);
    EXPECT_FALSE(m_button->IsHot());
    EXPECT_EQ(PixelAt(100, 78).red(), 255) << "normal yellow, not the hot green";
}

TEST_F(GradientButton, PaintsTheGradientOutlineAndHotColours)
{
    // Normal: white at the top, yellow at the bottom, grey outline.
    EXPECT_EQ(PixelAt(0, 0), QColor(128, 128, 128));
    EXPECT_EQ(PixelAt(199, 79), QColor(128, 128, 128));
    QEvent away(QEvent::Leave);   // wherever earlier tests left the mouse
    QCoreApplication::sendEvent(m_button.get(), &away);
    const QColor top = PixelAt(100, 1);
    EXPECT_EQ(top.red(), 255);
    EXPECT_EQ(top.green(), 255);
    EXPECT_GE(top.blue(), 240);
    const QColor bottom = PixelAt(100, 78);
    EXPECT_EQ(bottom.red(), 255);
    EXPECT_EQ(bottom.green(), 255);
    EXPECT_LE(bottom.blue(), 8);

    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), m_button->mapToGlobal(QPointF(10, 10)));
    QCoreApplication::sendEvent(m_button.get(), &enter);
    EXPECT_TRUE(m_button->IsHot());
    const QColor hotBottom = PixelAt(100, 78);
    EXPECT_LE(hotBottom.red(), 8);
    EXPECT_EQ(hotBottom.green(), 255);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_button.get(), &leave);
    EXPECT_FALSE(m_button->IsHot());
    m_button->SetCheck(1);
    EXPECT_TRUE(m_button->IsHot());
    EXPECT_EQ(m_button->GetCheck(), 1);
    m_button->SetColours(kRunningColours);
    m_button->SetCheck(0);
    const QColor runningBottom = PixelAt(100, 78);
    EXPECT_EQ(runningBottom.red(), 255);
    EXPECT_LE(runningBottom.green(), 8);
}

TEST_F(GradientButton, CaptionFontFromItsFields)
{
    const QFont font = m_button->CaptionFont();
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_LE(QFontMetrics(font).height(), 15);   // 14-pixel character cell
    m_button->SetCaptionFont("Arial", 400, 0);
    EXPECT_EQ(m_button->CaptionFont(), QApplication::font());
}

} // namespace
