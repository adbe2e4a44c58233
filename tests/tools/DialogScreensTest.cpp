#include "tests/tools/DialogScreens.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QSet>

namespace {

// Every picture is written and shows something besides its background.
TEST(DialogScreensTest, RendersEveryDialogAndThePreview)
{
    testsupport::TempDir dir;
    EXPECT_EQ(renderDialogScreens(dir.path()), 14);
    const QStringList names = QDir(dir.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
    EXPECT_EQ(names.size(), 14);
    for (const QString& name : names) {
        const QString file = dir.file(name);
        const QImage image(file);
        ASSERT_FALSE(image.isNull()) << file.toStdString();
        EXPECT_GT(image.width(), 150) << file.toStdString();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 3) << file.toStdString() << " looks blank";
    }
}

} // namespace
