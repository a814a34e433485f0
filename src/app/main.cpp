// xofview's entry point.
#include "app/viewer.h"

int main() {
    RunViewer();
}
