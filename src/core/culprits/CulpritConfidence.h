#pragma once

// How much an attribution can be trusted. The hardware recommendations defined it first; the resource
// analysis shares that one definition.
#include "hardware/HardwareComponentKind.h"
