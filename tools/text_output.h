// Decoded text on its way out of vorda-modem: whatever a station sends, what reaches a
// terminal or a line-oriented script stays text.
#pragma once

#include <string>
#include <string_view>

// A received line made fit for one output line: a backspace removes the character
// before it (as the console's pane does), and every other C0 control, DEL and the C1
// controls 0x80-0x9F are left out. Latin-1 from 0xA0 stays as it is.
std::string printable_line(std::string_view received);

// Appends one received byte as a terminal should show it: newline and tab as they are,
// carriage return left out (the newline that follows it ends the line), ESC as <ESC>,
// the other C0 controls and DEL in caret notation (^G, ^?), C1 as <9B>. Latin-1 from
// 0xA0 becomes UTF-8 when `utf8` is set.
void append_visible(std::string& out, unsigned char c, bool utf8);
