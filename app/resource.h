// Resource identifiers of Lumetra.exe.
#pragma once

#define IDI_LUMETRA 101
