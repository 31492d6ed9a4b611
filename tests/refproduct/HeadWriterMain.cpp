// dict-head-writer FILE COUNT: changes the head of a dictionary file COUNT times, one head write
// after another, as linking and labelling a dictionary do, and prints the number of each change
// once WriteDictionaryHead has returned. The third change outgrows the head slot, so it rewrites
// the file; the first change of a legacy file rewrites it too. The head-tearing test runs this
// under the write-fault library, which kills it halfway through a chosen write.
#include "DictionaryFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const std::string path = argv[1];
    const int count = std::atoi(argv[2]);
    for (int i = 1; i <= count; ++i) {
        std::string error;
        auto info = kaldo::ReadDictionaryHead(path, error);
        if (!info) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        kaldo::DictionaryHead head = info->head;
        head.SetLinkNumber(head.LinkNumber() + 1);
        head.SetProperty("remarks_w", std::vector<std::uint8_t>(i == 3 ? 20000 : std::size_t(i) * 37 % 700, 'r'));
        if (!kaldo::WriteDictionaryHead(path, head, false, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
