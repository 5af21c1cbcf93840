// The call-box segment shared with the logging program kesto: System V shared
// memory of 24 bytes holding the other station's call, NUL-padded (no NUL when the
// call has 24 characters or more). Free of X; the key is a parameter so that tests
// can use a segment of their own.
#pragma once

#include <sys/types.h>

#include <string>

constexpr key_t kCallBoxKey = 6146;
constexpr int kCallSize = 24;

// The call box's side: finds or creates the segment (mode 0600) and attaches it
// for good. Returns the address, or nullptr after perror("Callbox - shmget") or
// perror("Callbox - shmat"); `id` receives the segment id.
char* callbox_create(key_t key, int* id);

// Stores a call with the semantics of strncpy into 24 bytes.
void callbox_store(char* segment, const char* call);

// The call held in 24 bytes: up to the first NUL, at most 24 characters.
std::string callbox_call(const char* segment);

// The call in the segment at `key`, "" when there is none; says nothing on failure
// (the log dialog asks whether or not a call box runs).
std::string callbox_peek(key_t key);

enum callbox_lookup { kCallFound, kNoSegment, kAttachFailed };

// The actions' side: looks the segment up without creating it, reads the call and
// detaches. Prints "No kesto!\n" when there is no segment and
// perror("vorda - shmat failed") when it cannot be attached.
callbox_lookup callbox_fetch(key_t key, std::string& call);
