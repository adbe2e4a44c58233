#pragma once

#include <QListWidget>

namespace app {

// The log's list: lines in the order added, never sorted. The list is the
// log; nothing else keeps the lines.
class COutputList : public QListWidget {
    Q_OBJECT
public:
    explicit COutputList(QWidget* parent = nullptr);

    void appendLine(const QString& line);
    QStringList lines() const;
};

} // namespace app
