#include "panel/ui/MessageBoxes.h"

#include <QMessageBox>

bool QtMessageBoxes::Show(QWidget* parent, const BoxRequest& request)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (request.icon == BoxIcon::Error) icon = QMessageBox::Critical;
    else if (request.icon == BoxIcon::Question) icon = QMessageBox::Question;
    const QMessageBox::StandardButtons buttons =
        request.yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(icon, QString::fromStdWString(request.caption), QString::fromStdWString(request.text), buttons, parent);
    return box.exec() != QMessageBox::No;
}
