#pragma once

#include <QStyledItemDelegate>

namespace kundenstamm {

// Carries values between the customer model and the text boxes of the form
// for the data widget mapper: a box shows its column's value as the text its
// type takes (Null as empty text, a date as yyyy/mm/dd), and gives back to the
// model only what the user changed, converted to the column's type. So a
// value the box would show differently (Null as "0" in a number box, blanks
// at the end of a text) stays as it is in the database unless it was edited.
class FeldDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};

} // namespace kundenstamm
