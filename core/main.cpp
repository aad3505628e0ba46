#include "core/application.h"

int main() { return runServer(); }
