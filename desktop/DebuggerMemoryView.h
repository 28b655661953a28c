// The debugger's memory page: one of the machine's memories as rows of 16
// bytes in hex with their ASCII beside them, editable while the machine is
// stopped. The page knows nothing of the machine itself: each memory is a
// size, the way its bytes are numbered, and a pair of functions, given by the
// debugger window, that read the window's copy of the machine and write the
// machine.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLineEdit;
class QTableView;

struct TDebugMemory {
    QString Name;
    uint32_t Size = 0;
    std::function<uint8_t(uint32_t offset)> Read;
    // Returns false when the byte cannot be written (the machine runs).
    std::function<bool(uint32_t offset, uint8_t value)> Write;
    // The number of the first byte, as the rows show it and "Go to address"
    // takes it: a memory the CPU sees at one place has the CPU's addresses
    // (system RAM from #C000), one of its own its offsets (VRAM, CRAM: 0).
    uint32_t Base = 0;
    // The CPU sees the memory again after it, up to this address (system
    // RAM's second copy, #E000-#FFFF): "Go to address" takes those addresses
    // to the byte they reach. 0: no second copy.
    uint32_t MirrorEnd = 0;
    // Non-zero: the memory is banks of this size that the CPU sees one at a
    // time at Base (cartridge RAM's 16 KB banks at #8000); its bytes are
    // numbered "bank:address", as 1:8000.
    uint32_t BankSize = 0;
};

// The number of the byte at `offset` as the rows show it: "C010", "1:8010".
QString MemoryAddressText(const TDebugMemory& memory, uint32_t offset);
// The numbers the memory's bytes go by, for messages: "#C000-#DFFF".
QString MemoryRangeText(const TDebugMemory& memory);
// The offset of the byte a typed address names: the numbers the rows show,
// in any of the hex notations ParseHex takes (for a banked memory with the
// bank first, as "1:#8000"). None, with the reason in `error`, when the
// text is not an address or names no byte of this memory.
std::optional<uint32_t> MemoryOffset(const TDebugMemory& memory, const QString& text, QString* error = nullptr);

// The table of one memory: 16 hex columns and an ASCII column per row of 16
// bytes, the row's offset as its header.
class THexModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kBytesPerRow = 16;
    static constexpr int kAsciiColumn = kBytesPerRow;

    void SetMemory(const TDebugMemory* memory);
    void SetEditable(bool editable);
    // The bytes may have changed: the visible cells are drawn again.
    void Refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TDebugMemory* memory_ = nullptr;
    bool editable_ = false;
};

class TDebuggerMemoryView final : public QWidget {
    Q_OBJECT
public:
    explicit TDebuggerMemoryView(QWidget* parent = nullptr);

    void SetMemories(std::vector<TDebugMemory> memories);
    void SetEditable(bool editable) { model_.SetEditable(editable); }
    void Refresh() { model_.Refresh(); }
    // Shows memory `index` (its position in the list) scrolled to `offset`.
    void Show(int index, uint32_t offset);
    // "Go to address" with `text` in the memory shown: false, with the reason
    // sent as a Message, when it names no byte of it.
    bool GoTo(const QString& text);

    const std::vector<TDebugMemory>& MemoryList() const { return memories_; }
    QComboBox* Memories() const { return choice_; }
    QLineEdit* Address() const { return address_; }
    QTableView* Table() const { return table_; }
    THexModel& Model() { return model_; }

signals:
    // A line for the window's status: why an address was not taken.
    void Message(const QString& text);

private:
    std::vector<TDebugMemory> memories_;
    THexModel model_;
    QComboBox* choice_ = nullptr;
    QLineEdit* address_ = nullptr;
    QTableView* table_ = nullptr;
};
