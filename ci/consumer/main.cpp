// Smallest host: includes the whole public API and calls into the library.
#include <iostream>

#include "zu_zozov/zu_zozov.h"

int main() {
    std::cout << "zu_zozov " << qvt::ht::version() << " linked\n";
    return 0;
}
