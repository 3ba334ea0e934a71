#include "platform/host.h"

const Host* host = nullptr;
