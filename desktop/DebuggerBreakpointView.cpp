// The debugger's breakpoint page.
#include "DebuggerBreakpointView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "DebuggerText.h"

namespace {

// In the order of TBreakKind.
const char* const kKinds[] = {"Execution", "Memory read", "Memory write", "Port read (IN)", "Port write (OUT)",
                              "Frame interrupt", "Line interrupt"};

bool IsRange(TBreakKind kind) { return kind != TBreakKind::Execute && kind <= TBreakKind::PortWrite; }
bool IsPort(TBreakKind kind) { return kind == TBreakKind::PortRead || kind == TBreakKind::PortWrite; }
bool HasAddress(TBreakKind kind) { return kind <= TBreakKind::PortWrite; }

}  // namespace

TDebuggerBreakpointView::TDebuggerBreakpointView(TDebugger& debugger, QWidget* parent)
    : QWidget(parent), debugger_(debugger) {
    list_ = new QTableWidget(0, 2, this);
    list_->setObjectName("BreakpointList");
    list_->setHorizontalHeaderLabels({"On", "Breakpoint"});
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setFont(MonospaceFont());
    connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_ || item->column() != 0) return;
        debugger_.EnableBreakpoint(item->data(Qt::UserRole).toUInt(), item->checkState() == Qt::Checked);
    });

    kind_ = new QComboBox(this);
    kind_->setObjectName("BreakpointKind");
    for (const char* kind : kKinds) kind_->addItem(kind);
    first_ = new QLineEdit(this);
    first_->setObjectName("BreakpointFirst");
    last_ = new QLineEdit(this);
    last_->setObjectName("BreakpointLast");
    bank_ = new QLineEdit(this);
    bank_->setObjectName("BreakpointBank");
    for (QLineEdit* field : {first_, last_, bank_}) {
        field->setFont(MonospaceFont());
        field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QString(9, '0')));
        connect(field, &QLineEdit::returnPressed, this, [this] { AddFromRow(); });
    }
    add_ = new QPushButton("Add", this);
    add_->setObjectName("BreakpointAdd");
    remove_ = new QPushButton("Remove", this);
    remove_->setObjectName("BreakpointRemove");
    connect(add_, &QPushButton::clicked, this, [this] { AddFromRow(); });
    connect(remove_, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });
    KindChanged();

    auto* row = new QHBoxLayout;
    row->addWidget(kind_);
    row->addWidget(first_);
    row->addWidget(new QLabel("to", this));
    row->addWidget(last_);
    row->addWidget(new QLabel("bank", this));
    row->addWidget(bank_);
    row->addWidget(add_);
    row->addStretch(1);
    row->addWidget(remove_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(row);
}

void TDebuggerBreakpointView::KindChanged() {
    const auto kind = static_cast<TBreakKind>(kind_->currentIndex());
    first_->setEnabled(HasAddress(kind));
    last_->setEnabled(IsRange(kind));
    bank_->setEnabled(kind == TBreakKind::Execute);
    first_->setPlaceholderText(IsPort(kind) ? "port" : "address");
    last_->setPlaceholderText(IsRange(kind) ? "(same)" : "");
    bank_->setPlaceholderText(kind == TBreakKind::Execute ? "any" : "");
}

bool TDebuggerBreakpointView::Add(TBreakKind kind, const QString& first, const QString& last, const QString& bank,
                                  QString* error) {
    auto fail = [error](const QString& text) {
        if (error != nullptr) *error = text;
        return false;
    };
    TBreakpoint breakpoint;
    breakpoint.Kind = kind;
    if (HasAddress(kind)) {
        const uint32_t max = IsPort(kind) ? 0xFF : 0xFFFF;
        const std::optional<uint32_t> from = ParseHex(first, max);
        if (!from) return fail(QString("\"%1\" is not a %2 in hex (0 to %3).").arg(first, IsPort(kind) ? "port" : "address", Hex(max, IsPort(kind) ? 2 : 4)));
        std::optional<uint32_t> to = from;
        if (IsRange(kind) && !last.trimmed().isEmpty()) to = ParseHex(last, max);
        if (!to || *to < *from)
            return fail(QString("\"%1\" is not an end of the range at or after %2.").arg(last, Hex(*from, IsPort(kind) ? 2 : 4)));
        breakpoint.First = static_cast<uint16_t>(*from);
        breakpoint.Last = static_cast<uint16_t>(*to);
    }
    if (kind == TBreakKind::Execute && !bank.trimmed().isEmpty()) {
        bool ok = false;
        const int number = bank.trimmed().toInt(&ok);
        if (!ok || number < 0 || number > 63) return fail(QString("\"%1\" is not a ROM bank (0 to 63).").arg(bank));
        breakpoint.Bank = number;
    }
    debugger_.AddBreakpoint(breakpoint);
    Refresh();
    return true;
}

void TDebuggerBreakpointView::AddFromRow() {
    QString error;
    if (Add(static_cast<TBreakKind>(kind_->currentIndex()), first_->text(), last_->text(), bank_->text(), &error)) {
        first_->clear();
        last_->clear();
        emit Message("Breakpoint added: " + Describe(debugger_.Breakpoints().back()));
    } else {
        emit Message(error);
    }
}

void TDebuggerBreakpointView::RemoveSelected() {
    const int row = list_->currentRow();
    if (row < 0) return;
    debugger_.RemoveBreakpoint(list_->item(row, 0)->data(Qt::UserRole).toUInt());
    Refresh();
}

void TDebuggerBreakpointView::MarkHit(uint32_t id) {
    hit_ = id;
    Refresh();
}

void TDebuggerBreakpointView::Refresh() {
    const std::vector<TBreakpoint> breakpoints = debugger_.Breakpoints();
    filling_ = true;
    list_->setRowCount(static_cast<int>(breakpoints.size()));
    for (int row = 0; row < static_cast<int>(breakpoints.size()); ++row) {
        const TBreakpoint& breakpoint = breakpoints[row];
        auto* on = new QTableWidgetItem;
        on->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        on->setCheckState(breakpoint.Enabled ? Qt::Checked : Qt::Unchecked);
        on->setData(Qt::UserRole, breakpoint.Id);
        list_->setItem(row, 0, on);
        auto* text = new QTableWidgetItem(Describe(breakpoint) + (breakpoint.Id == hit_ ? "   <- hit" : ""));
        QFont font = text->font();
        font.setBold(breakpoint.Id == hit_);
        text->setFont(font);
        list_->setItem(row, 1, text);
    }
    filling_ = false;
}

QString TDebuggerBreakpointView::Describe(const TBreakpoint& b) {
    auto range = [&b](int digits) {
        return b.Last == b.First ? "#" + Hex(b.First, digits) : "#" + Hex(b.First, digits) + "-#" + Hex(b.Last, digits);
    };
    switch (b.Kind) {
        case TBreakKind::Execute:
            return "Execution at #" + Hex(b.First, 4) + (b.Bank < 0 ? QString() : " in ROM bank " + QString::number(b.Bank));
        case TBreakKind::MemoryRead: return "Memory read of " + range(4);
        case TBreakKind::MemoryWrite: return "Memory write to " + range(4);
        case TBreakKind::PortRead: return "Port read (IN) from " + range(2);
        case TBreakKind::PortWrite: return "Port write (OUT) to " + range(2);
        case TBreakKind::FrameInterrupt: return "Frame interrupt";
        case TBreakKind::LineInterrupt: return "Line interrupt";
    }
    return {};
}
