// morvix-updater: finishes an update after Morvix has exited (see
// updatersteps.h for what it does with its arguments).

#include <iostream>
#include <string>
#include <vector>

#include "updatersteps.h"

int main(int argc, char* argv[])
{
    return updater::Run(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}
