#pragma once
// Files as the program sees them, for a caller that uses several of their
// parts: the errors and old error numbers (toolkit/Errors.h), names and
// paths (toolkit/FileNames.h), safe writing (toolkit/SafeWrite.h) and the
// file stream (toolkit/FileStream.h).
#include "toolkit/Errors.h"
#include "toolkit/FileNames.h"
#include "toolkit/FileStream.h"
#include "toolkit/SafeWrite.h"
