#include "platform/thread_name.h"

#include <pthread.h>

#include <string>

void NameThisThread(const char* name) {
    const std::string shortName = std::string(name).substr(0, 15);  // the kernel keeps 15 bytes
    pthread_setname_np(pthread_self(), shortName.c_str());
}
