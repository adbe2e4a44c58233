#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <functional>

namespace app {

// How a dialog tells the user something: a modal box by default; tests
// record the text instead.
using MessageSink = std::function<void(QWidget* owner, const QString& text)>;

inline MessageSink defaultMessageSink()
{
    return [](QWidget* owner, const QString& text) { QMessageBox::warning(owner, QStringLiteral("Grisolt"), text); };
}

} // namespace app
