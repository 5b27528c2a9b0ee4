#include "control/TForm5.h"

#include <QCloseEvent>
#include <QGroupBox>

#include "control/Confirmation.h"
#include "platform/Cp1251.h"

TForm5::TForm5(klink::LinkCommandBlock& command, const ecu::LiveDataStore& live, QWidget* parent)
    : ClosingDialog(parent), command_(command), logic_(command, live) {
    setWindowTitle(QStringLiteral("Управление"));
    setFixedSize(201, 113);
    display::useSmallDialogFont(this);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* group = new QGroupBox(QStringLiteral("Управление"), this);
    group->setGeometry(10, 2, 185, 49);
    list_ = new QComboBox(group);
    list_->setGeometry(8, 18, 169, 22);
    for (int k = 0; k < kEntries; ++k) list_->addItem(QString::fromUtf8(logic::ControlWindow::entryText(k)));
    list_->setCurrentIndex(0);
    connect(list_, &QComboBox::activated, this, &TForm5::ComboBox1Change);

    status_ = new QLabel(QStringLiteral("Выл"), this);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setGeometry(10, 58, 185, 17);
    status_->setAlignment(Qt::AlignCenter);
    left_ = new QPushButton(QStringLiteral("Вкл"), this);
    left_->setGeometry(10, 82, 57, 22);
    right_ = new QPushButton(QStringLiteral("Выкл"), this);
    right_->setGeometry(138, 82, 57, 22);
    connect(left_, &QPushButton::clicked, this, &TForm5::LeftClick);
    connect(right_, &QPushButton::clicked, this, &TForm5::RightClick);
    connect(&timer_, &QTimer::timeout, this, &TForm5::Timer1Timer);
    timer_.start(100);
    list_->setFocus();  // the harmless control: Enter there switches nothing
}

TForm5::~TForm5() { timer_.stop(); }

void TForm5::ComboBox1Change(int k) {
    const logic::ControlWindow::Choice c = logic_.choose(k);
    if (c.confirm != logic::ControlWindow::Confirm::None) {
        confirm(c.confirm == logic::ControlWindow::Confirm::Reset);
        return;
    }
    setCaptions(QString::fromUtf8(c.captions.left), QString::fromUtf8(c.captions.right));
}

void TForm5::confirm(bool reset) {
    QPointer<TForm5> self(this);
    auto restore = [self] {
        if (self) self->restoreAfterConfirmation();
    };
    display::ClosingDialog* dialog = reset ? static_cast<display::ClosingDialog*>(new TForm6(command_, restore))
                                           : static_cast<display::ClosingDialog*>(new TForm7(command_, restore));
    confirmation_ = dialog;
    // It stands in for this window, which hides: it belongs to this one's owner.
    dialog->setOwner(owner());
    // Hidden first, so that the confirmation is the window that appears last
    // and the window manager gives it the keyboard.
    hide();
    dialog->show();
    dialog->activateWindow();
    list_->setCurrentIndex(0);  // made by the program: no selection change
}

void TForm5::LeftClick() { logic_.left(list_->currentIndex()); }

void TForm5::RightClick() { logic_.right(list_->currentIndex()); }

void TForm5::Timer1Timer() {
    if (!logic::ControlWindow::isOutput(list_->currentIndex())) return;
    status_->setText(QString::fromStdString(cp1251::toUtf8(logic_.statusText(list_->currentIndex()))));
}

void TForm5::setCaptions(const QString& left, const QString& right) {
    left_->setText(left);
    right_->setText(right);
}

void TForm5::restoreAfterConfirmation() {
    if (finished()) return;  // the window is closing: stay closed
    const auto c = logic::ControlWindow::afterConfirmation();
    setCaptions(QString::fromUtf8(c.left), QString::fromUtf8(c.right));
    show();
}

void TForm5::finish() {
    if (confirmation_) confirmation_->close();  // as "Нет"
    if (onClosed) onClosed();                   // re-enables the main window
    timer_.stop();
    logic_.closing(list_->currentIndex());
}
