#pragma once

#include "app/FileDialogs.h"
#include "app/dialogs/MessageSink.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace widgettest {

// File dialogs answered by the test: each call takes the next answer ("" =
// cancelled) and records its caption.
class FakeFileDialogs : public app::FileDialogs {
public:
    QString saveFileName(QWidget*, const QString& caption, const QString&, const QString&) override
    {
        return next(caption);
    }
    QString existingDirectory(QWidget*, const QString& caption) override { return next(caption); }
    QString openFileName(QWidget*, const QString& caption) override { return next(caption); }

    QStringList m_answers;
    QStringList m_captions;

private:
    QString next(const QString& caption)
    {
        m_captions << caption;
        return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    }
};

// Records what a dialog tells the user.
struct MessageRecorder {
    QStringList m_texts;
    app::MessageSink sink()
    {
        return [this](QWidget*, const QString& text) { m_texts << text; };
    }
};

// Runs `answer` on the modal dialog of type T as soon as it is shown.
template <typename T>
void answerModal(std::function<void(T&)> answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
            answer(*dialog);
    });
}

// Minimises `window` and restores it, as the user does through the window
// system; returns how many show events the window system sent it meanwhile
// (a spontaneous show event on the restore).
inline int minimiseAndRestore(QWidget& window)
{
    struct ShowCounter : QObject {
        int m_spontaneous = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Show && event->spontaneous())
                ++m_spontaneous;
            return false;
        }
    } counter;
    window.installEventFilter(&counter);
    window.setWindowState(window.windowState() | Qt::WindowMinimized);
    QCoreApplication::processEvents();
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    QCoreApplication::processEvents();
    window.removeEventFilter(&counter);
    return counter.m_spontaneous;
}

// Catches the URLs the desktop would open, per scheme, while it exists.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QStringList& schemes) : m_schemes(schemes)
    {
        for (const QString& scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlCatcher() override
    {
        for (const QString& scheme : m_schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> m_opened;

public slots:
    void open(const QUrl& url) { m_opened << url; }

private:
    QStringList m_schemes;
};

} // namespace widgettest
