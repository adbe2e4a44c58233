#pragma once

#include <QTableWidget>

namespace app {

// A report list with grid lines and full-row selection whose even rows
// (0, 2, ...) are light blue, RGB(220, 230, 244), and odd rows white.
class CMyListCtrl : public QTableWidget {
    Q_OBJECT
public:
    explicit CMyListCtrl(QWidget* parent = nullptr);

    static QColor EvenRowColour() { return QColor(220, 230, 244); }
    // The background a row is painted with.
    static QColor RowColour(int row);
};

} // namespace app
