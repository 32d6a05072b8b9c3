#include "show/SMViewF.h"

void RunShow()
{
}
