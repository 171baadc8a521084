#pragma once

namespace debugger {

// The two switches every debugger view obeys. The debugger owns one copy and hands it to the
// views and tool windows, so a change of radix or notation shows everywhere at once.
struct DisplayFlags {
    bool DecimalRadix = false;  // decimal numbers instead of "#"-prefixed hexadecimal
    bool Z80Notation = false;   // Zilog-style mnemonics instead of Intel's
};

}  // namespace debugger
