// The key and controller dialog, and the bindings in the settings.
#include "KeyConfigDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "QtInput.h"
#include "Settings.h"

namespace {

constexpr const char* kSettingsKey = "Input/Bindings";
constexpr int kColumns = INPUT_KEY_SLOTS + INPUT_CONTROLLER_SLOTS;

// The lowest button that is down now and was not before, None if none.
TControllerButton NewlyPressed(uint32_t now, uint32_t before) {
    const uint32_t fresh = now & ~before;
    for (int b = 0; b < CONTROLLER_BUTTON_COUNT; ++b)
        if ((fresh >> b) & 1u) return static_cast<TControllerButton>(b);
    return TControllerButton::None;
}

}  // namespace

TKeyBindings LoadKeyBindings() {
    TKeyBindings bindings = TKeyBindings::Defaults();
    // What cannot be read keeps its default; the file is rewritten whole
    // only when the dialog is next accepted.
    const QString text = TSettings().value(kSettingsKey).toString();
    bindings.FromString(text.toStdString());
    return bindings;
}

QString SaveKeyBindings(const TKeyBindings& bindings) {
    TSettings settings;
    settings.setValue(kSettingsKey, QString::fromStdString(bindings.ToString()));
    if (settings.Sync()) return QString();
    QString reason = SettingsFileProblem();
    if (reason.isEmpty()) reason = "the file cannot be written";
    return QString("Cannot keep the key bindings in \"%1\": %2. They apply until the program ends.")
        .arg(settings.FileName(), reason);
}

TKeyConfigDialog::TKeyConfigDialog(const TKeyBindings& bindings, TJoystickSource* controller, QWidget* parent)
    : QDialog(parent), bindings_(bindings), controller_(controller) {
    setObjectName("KeyConfigDialog");
    setWindowTitle("Configure Input");

    table_ = new QTableWidget(PAD_INPUT_COUNT, kColumns, this);
    table_->setObjectName("Bindings");
    table_->setHorizontalHeaderLabels({"Key 1", "Key 2", "Key 3", "Controller 1", "Controller 2"});
    QStringList rows;
    for (int input = 0; input < PAD_INPUT_COUNT; ++input) rows << InputCaption(input);
    table_->setVerticalHeaderLabels(rows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Every row at one height, and all thirteen in view without scrolling.
    const int rowHeight = table_->fontMetrics().height() + 10;
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(rowHeight);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() + PAD_INPUT_COUNT * rowHeight +
                             2 * table_->frameWidth());
    for (int input = 0; input < PAD_INPUT_COUNT; ++input)
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            // Player 2 has no game controller.
            if (column >= ControllerColumn(0) && PadInput(input).Player != 1) item->setFlags(Qt::NoItemFlags);
            table_->setItem(input, column, item);
        }
    table_->installEventFilter(this);
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int column) { StartWaiting(row, column); });

    status_ = new QLabel("Click a cell, then press the key or the controller button for it.", this);
    status_->setObjectName("Status");
    status_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* defaults = buttons->addButton("Defaults", QDialogButtonBox::ResetRole);
    defaults->setObjectName("Defaults");
    defaults->setAutoDefault(false);
    connect(defaults, &QPushButton::clicked, this, [this] { RestoreDefaults(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, [this] { PollController(); });
    Refresh();
    resize(640, sizeHint().height());
}

QString TKeyConfigDialog::InputCaption(int input) const {
    const TPadInput& pad = PadInput(input);
    return QString("Player %1 %2").arg(pad.Player).arg(pad.Caption);
}

void TKeyConfigDialog::Refresh() {
    for (int input = 0; input < PAD_INPUT_COUNT; ++input) {
        for (int slot = 0; slot < INPUT_KEY_SLOTS; ++slot)
            table_->item(input, KeyColumn(slot))->setText(QString::fromStdString(KeyName(bindings_.Key(input, slot))));
        for (int slot = 0; slot < INPUT_CONTROLLER_SLOTS; ++slot)
            table_->item(input, ControllerColumn(slot))->setText(ControllerButtonCaption(bindings_.Button(input, slot)));
    }
    if (Waiting())
        table_->item(waitRow_, waitColumn_)
            ->setText(waitColumn_ < ControllerColumn(0) ? "Press a key..." : "Press a button...");
}

// A key or button takes itself away from the input that had it: the status
// line names that input, so a binding never goes without the player seeing.
QString TKeyConfigDialog::LostBy(const std::function<bool(int input, int slot)>& holds) const {
    QStringList losers;
    for (int input = 0; input < PAD_INPUT_COUNT; ++input)
        for (int slot = 0; slot < std::max(INPUT_KEY_SLOTS, INPUT_CONTROLLER_SLOTS); ++slot)
            if (holds(input, slot) && !losers.contains(InputCaption(input))) losers << InputCaption(input);
    if (losers.isEmpty()) return QString();
    return QString(" %1 lost it.").arg(losers.join(" and "));
}

void TKeyConfigDialog::RestoreDefaults() {
    bindings_ = TKeyBindings::Defaults();
    StopWaiting("The default keys and buttons are back.");
}

void TKeyConfigDialog::StartWaiting(int row, int column) {
    if (row < 0 || row >= PAD_INPUT_COUNT || column < 0 || column >= kColumns) return;
    const bool controllerCell = column >= ControllerColumn(0);
    if (controllerCell && PadInput(row).Player != 1) return;
    waitRow_ = row;
    waitColumn_ = column;
    table_->setFocus();
    if (controllerCell) {
        // Only a button that goes down from now on counts.
        TJoystickReading reading;
        heldButtons_ = controller_ != nullptr && controller_->Read(reading) ? reading.ControllerButtons : 0;
        poll_.start();
        status_->setText(QString("Press the controller button for %1 (Delete empties the slot, Escape keeps it).")
                             .arg(InputCaption(row)));
    } else {
        poll_.stop();
        status_->setText(
            QString("Press the key for %1 (Delete empties the slot, Escape keeps it).").arg(InputCaption(row)));
    }
    Refresh();
}

void TKeyConfigDialog::StopWaiting(const QString& status) {
    waitRow_ = -1;
    waitColumn_ = -1;
    poll_.stop();
    status_->setText(status);
    Refresh();
}

void TKeyConfigDialog::PollController() {
    if (!Waiting() || waitColumn_ < ControllerColumn(0)) return;
    TJoystickReading reading;
    if (controller_ == nullptr || !controller_->Read(reading)) {
        status_->setText(QString("No game controller is connected. Plug one in and press the button for %1, or "
                                 "press Escape.")
                             .arg(InputCaption(waitRow_)));
        heldButtons_ = 0;
        return;
    }
    if (!reading.Controller) {
        status_->setText("Joystick 0 is not in SDL's controller database: its buttons 1 to 3 are the pad's "
                         "buttons 1, 2 and Pause as they are numbered.");
        return;
    }
    const TControllerButton button = NewlyPressed(reading.ControllerButtons, heldButtons_);
    // A button let go may be pressed again and count.
    heldButtons_ &= reading.ControllerButtons;
    if (button == TControllerButton::None) return;
    const int row = waitRow_;
    const int slot = waitColumn_ - ControllerColumn(0);
    const QString lost = LostBy([&](int input, int other) {
        return other < INPUT_CONTROLLER_SLOTS && input != row && bindings_.Button(input, other) == button;
    });
    bindings_.SetButton(row, slot, button);
    StopWaiting(QString("%1: %2.%3").arg(InputCaption(row), ControllerButtonCaption(button), lost));
}

void TKeyConfigDialog::TakeKey(const QKeyEvent& event) {
    const int row = waitRow_;
    const bool controllerCell = waitColumn_ >= ControllerColumn(0);
    if (event.key() == Qt::Key_Escape) {
        StopWaiting("Nothing changed.");
        return;
    }
    if (event.key() == Qt::Key_Delete) {
        if (controllerCell)
            bindings_.SetButton(row, waitColumn_ - ControllerColumn(0), TControllerButton::None);
        else
            bindings_.SetKey(row, KeyColumn(waitColumn_), 0);
        StopWaiting(QString("%1: the slot is empty.").arg(InputCaption(row)));
        return;
    }
    if (controllerCell) return;  // keys do not go into a controller slot
    const TKeyCode key = TQtKeyboard::KeyCodeOf(event);
    if (key == 0) {
        status_->setText("That key cannot be bound; press another one.");
        return;
    }
    if (IsWindowKey(key)) {
        status_->setText(QString("%1 is one of the window's own keys; press another one.")
                             .arg(QString::fromStdString(KeyName(key))));
        return;
    }
    const int slot = KeyColumn(waitColumn_);
    const QString lost = LostBy([&](int input, int other) {
        return other < INPUT_KEY_SLOTS && input != row && bindings_.Key(input, other) == key;
    });
    bindings_.SetKey(row, slot, key);
    StopWaiting(QString("%1: %2.%3").arg(InputCaption(row), QString::fromStdString(KeyName(key)), lost));
}

bool TKeyConfigDialog::eventFilter(QObject* watched, QEvent* event) {
    // While a cell waits, every key is the answer, Enter and Escape too:
    // the table sees them before the dialog's buttons do.
    if (watched == table_ && Waiting()) {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) TakeKey(*key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
