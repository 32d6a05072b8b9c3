#include "picture/Registration.h"

void RegisterPictureFormats()
{
}
