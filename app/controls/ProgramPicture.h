#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace app {

// The program's own picture: a database drawn in the blues of its buttons.
// The own dialogs show it at their left, the login dialog beside its fields,
// and the ribbon's application button carries it.
class ProgramPicture {
public:
    // The picture, drawn to fill size (transparent around it).
    static QPixmap Draw(QSize size);
    // The picture as an icon, drawn at whatever size a button or menu asks.
    static QIcon Icon();
};

} // namespace app
