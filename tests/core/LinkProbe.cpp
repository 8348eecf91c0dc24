// A program that links velmora_core and nothing else: its link command shows what the library pulls in.
#include "core/KeyNames.h"

int main() {
    return velmora::KeyName(65) == "A" ? 0 : 1;
}
