#pragma once

#include <QString>
#include <QtGlobal>

namespace updater {

// Where a download reports its progress: the download page's texts and bar.
// Called on the downloading thread; an implementation that owns widgets
// hands the values over to the GUI thread.
class DownloadListener {
public:
    virtual ~DownloadListener() = default;

    virtual void setStatusText(const QString& text) = 0;
    virtual void setSourceText(const QString& text) = 0;
    virtual void setElapsedText(const QString& text) = 0;
    virtual void setRateText(const QString& text) = 0;
    // Bytes; 0 when the installer's size is not known.
    virtual void setProgressRange(qint64 maximum) = 0;
    virtual void setProgressValue(qint64 value) = 0;
};

} // namespace updater
