#include "felddelegate.h"

#include "kundenmodell.h"
#include "usctextbox.h"

namespace kundenstamm {

namespace {

// The text a box gave back right after it was filled from the model.
const char* const kGeladen = "kundenstammGeladen";

} // namespace

void FeldDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = qobject_cast<uscTextBox*>(editor);
    if (!box) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    box->setText(KundenModell::textAusWert(index.data(Qt::EditRole)));
    box->setProperty(kGeladen, box->Text());
}

void FeldDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const
{
    auto* box = qobject_cast<uscTextBox*>(editor);
    if (!box) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const QString text = box->Text();
    if (text == box->property(kGeladen).toString())
        return;
    auto* kunden = qobject_cast<KundenModell*>(model);
    model->setData(index, kunden ? kunden->wertAusText(index.column(), text) : QVariant(text),
                   Qt::EditRole);
}

} // namespace kundenstamm
