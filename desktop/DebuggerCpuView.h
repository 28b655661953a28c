// The debugger's CPU page: the Z80's registers (main and alternate set, IX,
// IY, SP, PC, I, R, the interrupt flip-flops and mode, the flags by name),
// editable while the machine is stopped, and the disassembly around PC with
// the bank each address maps to.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "Console.h"

class QCheckBox;
class QLineEdit;
class QTableWidget;

class TDebuggerCpuView final : public QWidget {
    Q_OBJECT
public:
    explicit TDebuggerCpuView(QWidget* parent = nullptr);

    // Applies an edit to the machine's CPU registers; false when the machine
    // runs.
    std::function<bool(const std::function<void(TCpuRegisters&)>& edit)> EditCpu;

    // Shows the CPU of `console` (the window's copy of the machine); the
    // fields take edits only while `editable`.
    void Show(const TConsole& console, bool editable);

    // The field of a register by its name ("AF", "BC'", "PC", "IM", ...).
    QLineEdit* Field(const QString& name) const;
    // The check box of a flag ("S", "Z", "Y", "H", "X", "P/V", "N", "C") or
    // of "IFF1" / "IFF2".
    QCheckBox* Flag(const QString& name) const;
    QTableWidget* Listing() const { return listing_; }
    // The address on each line of the listing, top to bottom.
    const std::vector<uint16_t>& ListedAddresses() const { return listed_; }

    struct TRegister;

private:
    void BuildRegisters();
    void Commit(const TRegister& reg, QLineEdit* field);
    void ShowListing(const TConsole& console, uint16_t pc);

    std::vector<std::pair<const TRegister*, QLineEdit*>> fields_;
    std::vector<std::pair<QString, QCheckBox*>> flags_;
    QTableWidget* listing_ = nullptr;
    std::vector<uint16_t> listed_;
    bool showing_ = false;  // the fields are being filled, not edited
};
