// The debugger's CPU page: the register fields and the listing around PC.
#include "DebuggerCpuView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "DebuggerText.h"
#include "Z80Disasm.h"

// One register field: its name, its width in hex digits, how to read it from
// the CPU's registers and how to write a new value into them.
struct TDebuggerCpuView::TRegister {
    const char* Name;
    int Digits;
    uint32_t (*Get)(const TCpuRegisters&);
    void (*Set)(TCpuRegisters&, uint32_t);
};

namespace {

using Cpu = TCpuRegisters;
uint32_t Pair(uint8_t high, uint8_t low) { return static_cast<uint32_t>(high << 8 | low); }
void Split(uint32_t value, uint8_t& high, uint8_t& low) {
    high = static_cast<uint8_t>(value >> 8);
    low = static_cast<uint8_t>(value);
}

// Laid out in two columns: the main set beside the alternate one, then the
// index registers, the stack pointer and PC, then I, R and the mode.
const TDebuggerCpuView::TRegister kRegisters[] = {
    {"AF", 4, [](const Cpu& c) { return Pair(c.A, c.F); }, [](Cpu& c, uint32_t v) { Split(v, c.A, c.F); }},
    {"AF'", 4, [](const Cpu& c) { return Pair(c.AltA, c.AltF); }, [](Cpu& c, uint32_t v) { Split(v, c.AltA, c.AltF); }},
    {"BC", 4, [](const Cpu& c) { return Pair(c.B, c.C); }, [](Cpu& c, uint32_t v) { Split(v, c.B, c.C); }},
    {"BC'", 4, [](const Cpu& c) { return Pair(c.AltB, c.AltC); }, [](Cpu& c, uint32_t v) { Split(v, c.AltB, c.AltC); }},
    {"DE", 4, [](const Cpu& c) { return Pair(c.D, c.E); }, [](Cpu& c, uint32_t v) { Split(v, c.D, c.E); }},
    {"DE'", 4, [](const Cpu& c) { return Pair(c.AltD, c.AltE); }, [](Cpu& c, uint32_t v) { Split(v, c.AltD, c.AltE); }},
    {"HL", 4, [](const Cpu& c) { return Pair(c.H, c.L); }, [](Cpu& c, uint32_t v) { Split(v, c.H, c.L); }},
    {"HL'", 4, [](const Cpu& c) { return Pair(c.AltH, c.AltL); }, [](Cpu& c, uint32_t v) { Split(v, c.AltH, c.AltL); }},
    {"IX", 4, [](const Cpu& c) -> uint32_t { return c.IX; }, [](Cpu& c, uint32_t v) { c.IX = static_cast<uint16_t>(v); }},
    {"IY", 4, [](const Cpu& c) -> uint32_t { return c.IY; }, [](Cpu& c, uint32_t v) { c.IY = static_cast<uint16_t>(v); }},
    {"SP", 4, [](const Cpu& c) -> uint32_t { return c.SP; }, [](Cpu& c, uint32_t v) { c.SP = static_cast<uint16_t>(v); }},
    {"PC", 4, [](const Cpu& c) -> uint32_t { return c.PC; }, [](Cpu& c, uint32_t v) { c.PC = static_cast<uint16_t>(v); }},
    {"I", 2, [](const Cpu& c) -> uint32_t { return c.I; }, [](Cpu& c, uint32_t v) { c.I = static_cast<uint8_t>(v); }},
    {"R", 2, [](const Cpu& c) -> uint32_t { return c.R; }, [](Cpu& c, uint32_t v) { c.R = static_cast<uint8_t>(v); }},
    {"IM", 1, [](const Cpu& c) { return static_cast<uint32_t>(c.InterruptMode); },
     [](Cpu& c, uint32_t v) { c.InterruptMode = static_cast<uint8_t>(v); }},
};
// The flags in F's bit order from bit 7 down.
const char* const kFlags[] = {"S", "Z", "Y", "H", "X", "P/V", "N", "C"};
// How many lines the listing shows, and how many of them come before PC.
constexpr int kListingLines = 24;
constexpr int kLinesBeforePc = 6;
}  // namespace

TDebuggerCpuView::TDebuggerCpuView(QWidget* parent) : QWidget(parent) { BuildRegisters(); }

void TDebuggerCpuView::BuildRegisters() {
    auto* registers = new QGroupBox("Registers", this);
    auto* grid = new QGridLayout(registers);
    int row = 0, column = 0;
    for (const TRegister& reg : kRegisters) {
        auto* field = new QLineEdit(registers);
        field->setObjectName(QString("Register") + reg.Name);
        field->setFont(MonospaceFont());
        field->setMaxLength(reg.Digits + 2);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QString(7, '0')));
        grid->addWidget(new QLabel(reg.Name, registers), row, column * 2);
        grid->addWidget(field, row, column * 2 + 1);
        fields_.emplace_back(&reg, field);
        connect(field, &QLineEdit::editingFinished, this, [this, &reg, field] { Commit(reg, field); });
        // Pairs side by side (the main set beside the alternate), the rest in rows of two.
        if (++column == 2) {
            column = 0;
            ++row;
        }
    }
    if (column != 0) ++row;

    auto* flagRow = new QHBoxLayout;
    auto addFlag = [&](const QString& name, int bit, bool iff) {
        auto* box = new QCheckBox(name, registers);
        box->setObjectName("Flag" + QString(name).remove('/'));
        flagRow->addWidget(box);
        flags_.emplace_back(name, box);
        connect(box, &QCheckBox::toggled, this, [this, bit, iff](bool on) {
            if (showing_ || !EditCpu) return;
            EditCpu([bit, iff, on](TCpuRegisters& cpu) {
                if (iff) {
                    (bit == 1 ? cpu.IFF1 : cpu.IFF2) = on ? 1 : 0;
                } else {
                    cpu.F = static_cast<uint8_t>(on ? cpu.F | (1 << bit) : cpu.F & ~(1 << bit));
                }
            });
        });
    };
    for (int i = 0; i < 8; ++i) addFlag(kFlags[i], 7 - i, false);
    grid->addLayout(flagRow, row++, 0, 1, 4);
    flagRow = new QHBoxLayout;
    addFlag("IFF1", 1, true);
    addFlag("IFF2", 2, true);
    flagRow->addStretch(1);
    grid->addLayout(flagRow, row++, 0, 1, 4);
    grid->setRowStretch(row, 1);

    listing_ = new QTableWidget(kListingLines, 4, this);
    listing_->setObjectName("Disassembly");
    listing_->setHorizontalHeaderLabels({"Address", "Bank", "Bytes", "Instruction"});
    listing_->verticalHeader()->hide();
    listing_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    listing_->verticalHeader()->setDefaultSectionSize(listing_->fontMetrics().height() + 4);
    listing_->horizontalHeader()->setStretchLastSection(true);
    listing_->setFont(MonospaceFont());
    listing_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listing_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listing_->setSelectionMode(QAbstractItemView::SingleSelection);
    const QFontMetrics metrics(MonospaceFont());
    listing_->setColumnWidth(0, metrics.horizontalAdvance("Address") + 16);
    listing_->setColumnWidth(1, metrics.horizontalAdvance("BIOS") + 16);
    listing_->setColumnWidth(2, metrics.horizontalAdvance("DD CB 05 C6") + 16);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(registers);
    layout->addWidget(listing_, 1);
}

QLineEdit* TDebuggerCpuView::Field(const QString& name) const {
    for (const auto& [reg, field] : fields_)
        if (name == reg->Name) return field;
    return nullptr;
}

QCheckBox* TDebuggerCpuView::Flag(const QString& name) const {
    for (const auto& [flag, box] : flags_)
        if (flag == name) return box;
    return nullptr;
}

void TDebuggerCpuView::Show(const TConsole& console, bool editable) {
    const TCpuRegisters cpu = console.Registers();
    showing_ = true;
    for (const auto& [reg, field] : fields_) {
        field->setReadOnly(!editable);
        // A field being typed in keeps its text until it is committed.
        if (!field->hasFocus() || !editable) field->setText(Hex(reg->Get(cpu), reg->Digits));
    }
    for (int i = 0; i < 8; ++i) {
        flags_[i].second->setChecked((cpu.F >> (7 - i)) & 1);
        flags_[i].second->setEnabled(editable);
    }
    flags_[8].second->setChecked(cpu.IFF1 != 0);
    flags_[9].second->setChecked(cpu.IFF2 != 0);
    flags_[8].second->setEnabled(editable);
    flags_[9].second->setEnabled(editable);
    showing_ = false;
    ShowListing(console, cpu.PC);
}

void TDebuggerCpuView::Commit(const TRegister& reg, QLineEdit* field) {
    if (field->isReadOnly() || !EditCpu) return;
    const uint32_t max = reg.Digits == 1 ? 2 : (1u << (4 * reg.Digits)) - 1;
    const std::optional<uint32_t> value = ParseHex(field->text(), max);
    // A value that is no number (or too large) is not taken: the field shows
    // the register again at the next refresh.
    if (!value) return;
    EditCpu([&reg, v = *value](TCpuRegisters& cpu) { reg.Set(cpu, v); });
}

namespace {

T_Z80_INSTRUCTION Decode(const TConsole& console, uint16_t address) {
    T_Z80_INSTRUCTION instruction{};
    console.Disassemble(address, instruction);
    return instruction;
}

// Code cannot be decoded backwards with certainty: the listing starts at the
// furthest address before PC, up to `lines` instructions back, from which
// decoding forwards lands exactly on PC.
uint16_t StartBefore(const TConsole& console, uint16_t pc, int lines) {
    for (int back = 4 * lines; back > 0; --back) {
        uint16_t address = static_cast<uint16_t>(pc - back);
        int count = 0;
        while (address != pc && count <= lines && static_cast<uint16_t>(pc - address) <= back) {
            address = static_cast<uint16_t>(address + Decode(console, address).Length);
            ++count;
        }
        if (address == pc && count <= lines) return static_cast<uint16_t>(pc - back);
    }
    return pc;
}

}  // namespace

void TDebuggerCpuView::ShowListing(const TConsole& console, uint16_t pc) {
    // The listing stays where it is while PC is on one of its first lines;
    // otherwise it starts a few instructions before PC.
    const auto found = std::find(listed_.begin(), listed_.end(), pc);
    const bool keep = found != listed_.end() && found - listed_.begin() < kListingLines - 4;
    uint16_t address = keep ? listed_.front() : StartBefore(console, pc, kLinesBeforePc);
    listed_.clear();
    int pcRow = -1;
    for (int row = 0; row < kListingLines; ++row) {
        const T_Z80_INSTRUCTION line = Decode(console, address);
        listed_.push_back(address);
        if (address == pc) pcRow = row;
        QString bytes;
        for (int i = 0; i < line.Length; ++i) bytes += (i ? " " : "") + Hex(line.Bytes[i], 2);
        const QString cells[] = {Hex(address, 4), QString::fromStdString(console.BankName(address)), bytes,
                                 QString(line.Text)};
        for (int column = 0; column < 4; ++column) {
            QTableWidgetItem* item = listing_->item(row, column);
            if (item == nullptr) listing_->setItem(row, column, item = new QTableWidgetItem);
            item->setText(cells[column]);
        }
        address = static_cast<uint16_t>(address + line.Length);
    }
    if (pcRow >= 0) listing_->selectRow(pcRow);
    else listing_->clearSelection();
}
