#include "app/CLogWindow.h"

#include "app/COutputList.h"
#include "app/FileDialogs.h"

#include <QFileInfo>
#include <QSaveFile>

namespace app {

const QString CLogWindow::kTitle = QStringLiteral("Log Window");
const QString CLogWindow::kProductTitle = QStringLiteral("Grisolt");
const QString CLogWindow::kInitialFileName = QStringLiteral("ZUKA.log");
const QString CLogWindow::kOverwriteQuestion = QStringLiteral("File already exist.Do you want to overwrite ?");

namespace {

const QString kSaveFilter = QStringLiteral("All Files(*.log)");
const QString kLogSuffix = QStringLiteral(".log");

// The file-error texts users know from the platform's own dialogs.
QString fileErrorText(const QSaveFile& file, const QString& path)
{
    if (file.error() == QFileDevice::PermissionsError)
        return QStringLiteral("Access to %1 was denied.").arg(path);
    return QStringLiteral("An unexpected error occurred while accessing %1.").arg(path);
}

} // namespace

CLogWindow::CLogWindow(QWidget* parent) : QDockWidget(kTitle, parent), m_wndOutput(new COutputList(this))
{
    setObjectName(QStringLiteral("LogWindow"));
    // Only the View check box hides the pane: no close button on its caption.
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    setWidget(m_wndOutput);
}

void CLogWindow::AppendLine(const QString& line)
{
    m_wndOutput->appendLine(line);
}

void CLogWindow::ClearLog()
{
    m_wndOutput->clear();
    m_wndOutput->appendLine(kProductTitle);
}

QStringList CLogWindow::lines() const
{
    return m_wndOutput->lines();
}

QByteArray CLogWindow::SavedBytes(const QStringList& lines)
{
    QByteArray bytes;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += (line.size() + 2) * 2;
    bytes.reserve(size);
    auto put = [&bytes](char16_t unit) {
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    };
    for (const QString& line : lines) {
        // Code units as they are, a lone surrogate included.
        for (const QChar c : line)
            put(c.unicode());
        put(u'\r');
        put(u'\n');
    }
    return bytes;
}

QString CLogWindow::SavePathFor(const QString& chosen)
{
    if (chosen.endsWith(kLogSuffix, Qt::CaseInsensitive))
        return chosen;
    return chosen + kLogSuffix;
}

bool CLogWindow::SaveLog(const QString& path, QString* errorText) const
{
    QSaveFile file(path);
    // A folder we may not create files in still lets an existing file be written.
    file.setDirectWriteFallback(true);
    const QByteArray bytes = SavedBytes(lines());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (errorText)
            *errorText = fileErrorText(file, path);
        file.cancelWriting();
        return false;
    }
    return true;
}

CLogWindow::SaveResult CLogWindow::SaveLogCommand(FileDialogs& dialogs,
                                                  const std::function<bool(const QString&)>& confirmOverwrite,
                                                  QString* errorText)
{
    const QString chosen = dialogs.saveFileName(parentWidget(), QString(), kInitialFileName, kSaveFilter);
    if (chosen.isEmpty())
        return SaveResult::Cancelled;
    const QString path = SavePathFor(chosen);
    if (QFileInfo::exists(path) && !(confirmOverwrite && confirmOverwrite(kOverwriteQuestion)))
        return SaveResult::NotOverwritten;
    return SaveLog(path, errorText) ? SaveResult::Saved : SaveResult::Failed;
}

} // namespace app
