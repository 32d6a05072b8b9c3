#include "images/SMImageF.h"

void EditImageSlots()
{
}
