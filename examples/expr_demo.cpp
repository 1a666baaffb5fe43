#include <iostream>
#include "zu_zozov/zu_zozov.h"
int main() { std::cout << "zu_zozov " << qvt::ht::version() << "\n"; }
