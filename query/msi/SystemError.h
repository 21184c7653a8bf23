// The system's error numbers as the installer's result codes, so that file
// failures travel in m_nError like every other failure.
#pragma once

#include <msiquery.h>

UINT ResultCodeFromErrno(int error);
