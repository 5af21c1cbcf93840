// The call box, a small window whose "His Call" field is shared with the logging
// program kesto through System V shared memory, and the transmit pane's actions
// that type the other station's call, the over phrase and macro texts.
#pragma once

#include <X11/Intrinsic.h>
#include <sys/types.h>

#include <string>

struct CallBox {
    int shmId;
    Widget callShell;
    Widget box;          // "callBox", a prompt-type selection box
    Widget clearButton;  // the box's help button, labelled "Clear"
    Widget text;         // the "His Call" field
    char* segment;       // attached for the life of the process
};

// The segment's key, for the call box and the actions; tests point it at a
// segment of their own.
void useCallBoxKey(key_t key);

// The call in the call box's segment, "" when there is none.
std::string callBoxCall();

// Attaches (creating it if needed) the segment and shows the call box. Ends the
// process with status 1 when the segment cannot be had.
void createCallBox(CallBox* cb, Widget parent);
