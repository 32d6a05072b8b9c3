#include "show/SMTestF.h"

void ViewPicture(const QString&)
{
}
