// The debugger's memory page: one of the machine's memories as rows of 16
// bytes in hex with their ASCII beside them, editable while the machine is
// stopped. The page knows nothing of the machine itself: each memory is a
// size and a pair of functions, given by the debugger window, that read the
// window's copy of the machine and write the machine.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <functional>
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
};

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

    QComboBox* Memories() const { return choice_; }
    QTableView* Table() const { return table_; }
    THexModel& Model() { return model_; }

private:
    void GoTo();

    std::vector<TDebugMemory> memories_;
    THexModel model_;
    QComboBox* choice_ = nullptr;
    QLineEdit* address_ = nullptr;
    QTableView* table_ = nullptr;
};
