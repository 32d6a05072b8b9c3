#include "images/SMfindf.h"

void BrowseAndCopyImage()
{
}
