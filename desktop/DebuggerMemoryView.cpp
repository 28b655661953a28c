// The debugger's memory page: the hex table and its choice of memory.
#include "DebuggerMemoryView.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

#include "DebuggerText.h"

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
    if (orientation == Qt::Vertical) return Hex(static_cast<uint32_t>(section) * kBytesPerRow, 4);
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
    });
    connect(address_, &QLineEdit::returnPressed, this, [this] { GoTo(); });
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

void TDebuggerMemoryView::GoTo() {
    const int index = choice_->currentIndex();
    if (index < 0) return;
    const std::optional<uint32_t> offset = ParseHex(address_->text(), memories_[index].Size - 1);
    if (offset) Show(index, *offset);
}
