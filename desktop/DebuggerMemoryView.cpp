// The debugger's memory page: the hex table and its choice of memory.
#include "DebuggerMemoryView.h"

#include <algorithm>

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

#include "DebuggerText.h"

// ---------------------------------------------------------------- numbering

QString MemoryAddressText(const TDebugMemory& memory, uint32_t offset) {
    if (memory.BankSize == 0) return Hex(memory.Base + offset, 4);
    return Hex(offset / memory.BankSize, 1) + ":" + Hex(memory.Base + offset % memory.BankSize, 4);
}

QString MemoryRangeText(const TDebugMemory& memory) {
    if (memory.Size == 0) return "none";
    if (memory.BankSize == 0) {
        QString text = QString("#%1-#%2").arg(Hex(memory.Base, 4), Hex(memory.Base + memory.Size - 1, 4));
        if (memory.MirrorEnd != 0)
            text += QString(" (again at #%1-#%2)").arg(Hex(memory.Base + memory.Size, 4), Hex(memory.MirrorEnd, 4));
        return text;
    }
    QStringList banks;
    for (uint32_t first = 0; first < memory.Size; first += memory.BankSize)
        banks += MemoryAddressText(memory, first) + "-" + MemoryAddressText(memory, first + memory.BankSize - 1);
    const QString last = banks.takeLast();
    return banks.isEmpty() ? last : banks.join(", ") + " and " + last;
}

std::optional<uint32_t> MemoryOffset(const TDebugMemory& memory, const QString& text, QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<uint32_t> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    const QString typed = text.trimmed();
    const uint32_t example = std::min<uint32_t>(0x100, memory.Size > 0 ? memory.Size - 1 : 0);
    const QString notAddress =
        memory.BankSize == 0
            ? QString("\"%1\" is not an address: type it in hex, as %2, #%2, $%2, 0x%2 or %2h.")
                  .arg(typed, MemoryAddressText(memory, example))
            : QString("\"%1\" is not an address: type the bank and the address in hex, as %2:%3, %2:#%3, %2:$%3, "
                      "%2:0x%3 or %2:%3h.")
                  .arg(typed, Hex(memory.Size > memory.BankSize ? 1 : 0, 1), Hex(memory.Base + example, 4));
    const QString outside = "%1 is outside the memory shown, whose bytes are " + MemoryRangeText(memory) + ".";
    if (memory.BankSize != 0) {
        // The address alone would not say which bank.
        const qsizetype colon = typed.indexOf(':');
        const QString bankText = colon < 0 ? QString() : typed.left(colon);
        const std::optional<uint32_t> bank = ParseHex(bankText, ~0u);
        const std::optional<uint32_t> address = ParseHex(colon < 0 ? typed : typed.mid(colon + 1), ~0u);
        if (!address || (colon >= 0 && !bank)) return fail(notAddress);
        if (colon < 0)
            return fail(QString("Give the bank too, as 1:%1: the CPU sees these banks one at a time at #%2-#%3.")
                            .arg(Hex(*address, 4), Hex(memory.Base, 4), Hex(memory.Base + memory.BankSize - 1, 4)));
        if (*bank >= memory.Size / memory.BankSize || *address < memory.Base ||
            *address - memory.Base >= memory.BankSize)
            return fail(outside.arg(Hex(*bank, 1) + ":" + Hex(*address, 4)));
        return *bank * memory.BankSize + (*address - memory.Base);
    }
    const std::optional<uint32_t> address = ParseHex(typed, ~0u);
    if (!address) return fail(notAddress);
    if (*address >= memory.Base && *address - memory.Base < memory.Size) return *address - memory.Base;
    if (memory.MirrorEnd != 0 && *address >= memory.Base && *address <= memory.MirrorEnd)
        return (*address - memory.Base) % memory.Size;
    return fail(outside.arg("#" + Hex(*address, 4)));
}

// ---------------------------------------------------------------- the model

void THexModel::SetMemory(const TDebugMemory* memory) {
    beginResetModel();
    memory_ = memory;
    endResetModel();
}

void THexModel::SetEditable(bool editable) {
    if (editable_ == editable) return;
    editable_ = editable;
    Refresh();
}

void THexModel::Refresh() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, kAsciiColumn));
}

int THexModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || memory_ == nullptr) return 0;
    return static_cast<int>((memory_->Size + kBytesPerRow - 1) / kBytesPerRow);
}

int THexModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kBytesPerRow + 1; }

QVariant THexModel::data(const QModelIndex& index, int role) const {
    if (memory_ == nullptr || !index.isValid()) return {};
    const uint32_t row = static_cast<uint32_t>(index.row()) * kBytesPerRow;
    if (index.column() == kAsciiColumn) {
        if (role != Qt::DisplayRole) return {};
        QString text;
        for (uint32_t i = row; i < row + kBytesPerRow && i < memory_->Size; ++i) {
            const uint8_t byte = memory_->Read(i);
            text += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar('.');
        }
        return text;
    }
    const uint32_t offset = row + static_cast<uint32_t>(index.column());
    if (offset >= memory_->Size) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return Hex(memory_->Read(offset), 2);
    if (role == Qt::TextAlignmentRole) return Qt::AlignCenter;
    return {};
}

bool THexModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !editable_ || memory_ == nullptr || index.column() == kAsciiColumn) return false;
    const uint32_t offset = static_cast<uint32_t>(index.row()) * kBytesPerRow + static_cast<uint32_t>(index.column());
    const std::optional<uint32_t> byte = ParseHex(value.toString(), 0xFF);
    if (offset >= memory_->Size || !byte || !memory_->Write(offset, static_cast<uint8_t>(*byte))) return false;
    emit dataChanged(index, this->index(index.row(), kAsciiColumn));
    return true;
}

Qt::ItemFlags THexModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (editable_ && index.column() != kAsciiColumn) flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant THexModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical)
        return memory_ == nullptr ? QVariant() : MemoryAddressText(*memory_, static_cast<uint32_t>(section) * kBytesPerRow);
    return section == kAsciiColumn ? QString("ASCII") : QString::number(section, 16).toUpper();
}

// ---------------------------------------------------------------- the page

TDebuggerMemoryView::TDebuggerMemoryView(QWidget* parent) : QWidget(parent) {
    choice_ = new QComboBox(this);
    choice_->setObjectName("MemoryChoice");
    address_ = new QLineEdit(this);
    address_->setObjectName("MemoryAddress");
    address_->setPlaceholderText("Go to address");
    address_->setMaximumWidth(120);
    table_ = new QTableView(this);
    table_->setObjectName("MemoryTable");
    table_->setModel(&model_);
    table_->setFont(MonospaceFont());
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setMinimumSectionSize(0);
    table_->horizontalHeader()->setDefaultSectionSize(table_->fontMetrics().horizontalAdvance("00") + 12);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Memory:", this));
    top->addWidget(choice_, 1);
    top->addWidget(address_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);

    connect(choice_, &QComboBox::currentIndexChanged, this, [this](int index) {
        model_.SetMemory(index >= 0 && index < static_cast<int>(memories_.size()) ? &memories_[index] : nullptr);
        table_->setColumnWidth(THexModel::kAsciiColumn, table_->fontMetrics().horizontalAdvance(QString(18, 'W')));
        address_->setToolTip(index >= 0 && index < static_cast<int>(memories_.size())
                                 ? "Go to a byte of this memory: " + MemoryRangeText(memories_[index])
                                 : QString());
    });
    connect(address_, &QLineEdit::returnPressed, this, [this] { GoTo(address_->text()); });
}

void TDebuggerMemoryView::SetMemories(std::vector<TDebugMemory> memories) {
    model_.SetMemory(nullptr);
    memories_ = std::move(memories);
    {
        const QSignalBlocker blocker(choice_);
        choice_->clear();
        for (const TDebugMemory& memory : memories_) choice_->addItem(memory.Name);
        choice_->setCurrentIndex(-1);
    }
    choice_->setCurrentIndex(memories_.empty() ? -1 : 0);
}

void TDebuggerMemoryView::Show(int index, uint32_t offset) {
    choice_->setCurrentIndex(index);
    const QModelIndex cell = model_.index(static_cast<int>(offset / THexModel::kBytesPerRow),
                                          static_cast<int>(offset % THexModel::kBytesPerRow));
    if (!cell.isValid()) return;
    table_->setCurrentIndex(cell);
    table_->scrollTo(cell, QAbstractItemView::PositionAtTop);
}

bool TDebuggerMemoryView::GoTo(const QString& text) {
    const int index = choice_->currentIndex();
    if (index < 0 || index >= static_cast<int>(memories_.size())) return false;
    QString error;
    const std::optional<uint32_t> offset = MemoryOffset(memories_[index], text, &error);
    if (!offset) {
        emit Message(error);
        return false;
    }
    Show(index, *offset);
    return true;
}
