// The debugger's breakpoint page: the list of breakpoints (each can be
// switched off and on, or removed) and a row to add one: on execution at an
// address (optionally only while one ROM bank is mapped there), on a memory
// read or write of an address range, on an IN or OUT of a port range, on the
// frame or the line interrupt. The page edits the debugger's own set.
#pragma once

#include <QWidget>

#include "Debugger.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TDebuggerBreakpointView final : public QWidget {
    Q_OBJECT
public:
    TDebuggerBreakpointView(TDebugger& debugger, QWidget* parent = nullptr);

    // Adds a breakpoint as the row would ("" where a field is left empty);
    // returns false with the reason in `error` when a field is wrong.
    bool Add(TBreakKind kind, const QString& first, const QString& last, const QString& bank, QString* error = nullptr);
    // The list again from the debugger's set.
    void Refresh();
    // Marks the breakpoint that stopped the machine (0: none).
    void MarkHit(uint32_t id);

    // A breakpoint as the list shows it, e.g. "Write to #C000-#C0FF".
    static QString Describe(const TBreakpoint& breakpoint);

    QTableWidget* List() const { return list_; }
    QComboBox* Kind() const { return kind_; }
    QLineEdit* First() const { return first_; }
    QLineEdit* Last() const { return last_; }
    QLineEdit* Bank() const { return bank_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }

signals:
    void Message(const QString& text);

private:
    void AddFromRow();
    void RemoveSelected();
    void KindChanged();

    TDebugger& debugger_;
    uint32_t hit_ = 0;
    bool filling_ = false;
    QTableWidget* list_ = nullptr;
    QComboBox* kind_ = nullptr;
    QLineEdit* first_ = nullptr;
    QLineEdit* last_ = nullptr;
    QLineEdit* bank_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
};
