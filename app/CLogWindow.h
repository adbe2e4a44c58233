#pragma once

#include <QDockWidget>
#include <QString>
#include <QStringList>

#include <functional>

namespace app {

class COutputList;
class FileDialogs;

// The log pane: a dockable pane at the foot of the main window holding the
// running report, one line per message, which the user can clear and save.
class CLogWindow : public QDockWidget {
    Q_OBJECT
public:
    explicit CLogWindow(QWidget* parent = nullptr);

    // Adds one line at the end, unchanged (an empty line is a separator).
    void AppendLine(const QString& line);
    // Removes every line, then adds the product title.
    void ClearLog();
    QStringList lines() const;
    COutputList& output() const { return *m_wndOutput; }

    // Writes the saved-log format to path. An existing file is replaced only
    // once the new one is written whole; false (and errorText) otherwise,
    // with the file as it was.
    bool SaveLog(const QString& path, QString* errorText = nullptr) const;

    enum class SaveResult { Saved, Cancelled, NotOverwritten, Failed };
    // The Save log command: the save dialog (initial name "ZUKA.log"), ".log"
    // added to a name without it, the overwrite question when the file
    // exists (confirmOverwrite gets the text; true = Yes), then the file.
    // On Failed, errorText holds the text to show.
    SaveResult SaveLogCommand(FileDialogs& dialogs, const std::function<bool(const QString&)>& confirmOverwrite,
                              QString* errorText = nullptr);

    // The saved file's bytes: each line's UTF-16 code units, little-endian,
    // then CR LF as UTF-16; no byte-order mark.
    static QByteArray SavedBytes(const QStringList& lines);
    // The path a chosen name is saved to: unchanged when it ends in ".log"
    // in any case, else with ".log" appended.
    static QString SavePathFor(const QString& chosen);

    static const QString kTitle;            // "Log Window"
    static const QString kProductTitle;     // the first line and the line after Clear
    static const QString kInitialFileName;  // "ZUKA.log"
    static const QString kOverwriteQuestion;

private:
    COutputList* m_wndOutput;
};

} // namespace app
