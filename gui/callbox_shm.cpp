#include "gui/callbox_shm.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstring>

char* callbox_create(key_t key, int* id) {
    *id = shmget(key, kCallSize, IPC_CREAT | 0600);
    if (*id < 0) {
        std::perror("Callbox - shmget");
        return nullptr;
    }
    void* at = shmat(*id, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) {
        std::perror("Callbox - shmat");
        return nullptr;
    }
    return static_cast<char*>(at);
}

void callbox_store(char* segment, const char* call) {
    // Bounded copy with NUL padding is exactly what the logger expects.
    std::strncpy(segment, call, kCallSize);
}

std::string callbox_call(const char* segment) {
    return std::string(segment, strnlen(segment, kCallSize));
}

std::string callbox_peek(key_t key) {
    const int id = shmget(key, kCallSize, 0666);
    if (id < 0) return "";
    void* at = shmat(id, nullptr, SHM_RDONLY);
    if (at == reinterpret_cast<void*>(-1)) return "";
    std::string call = callbox_call(static_cast<const char*>(at));
    shmdt(at);
    return call;
}

callbox_lookup callbox_fetch(key_t key, std::string& call) {
    call.clear();
    const int id = shmget(key, kCallSize, 0666);
    if (id < 0) {
        std::fputs("No kesto!\n", stderr);
        return kNoSegment;
    }
    void* at = shmat(id, nullptr, 0);
    if (at == reinterpret_cast<void*>(-1)) {
        std::perror("vorda - shmat failed");
        return kAttachFailed;
    }
    call = callbox_call(static_cast<const char*>(at));
    shmdt(at);
    return kCallFound;
}
