// Fills in the manual page's KEYS section from the window's table of keys:
// copies the page's scdoc source, writing each line "; keys: NAME" as the
// items of that group. A name that is no group, or a group placed other than
// once, fails the build.
//
// usage: keysection IN.scd OUT.scd
#include "keytable.h"

#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <string_view>

namespace {

// "A, B" as "*A*, *B*".
std::string bold(std::string_view keys)
{
    std::string out;
    for (;;) {
        const size_t comma = keys.find(", ");
        out += '*';
        out += keys.substr(0, comma);
        out += '*';
        if (comma == std::string_view::npos)
            return out;
        out += ", ";
        keys.remove_prefix(comma + 2);
    }
}

void writeGroup(std::ostream& out, const keytable::Group& group)
{
    bool first = true;
    for (const keytable::Key& key : group.keys) {
        if (!first)
            out << '\n';
        first = false;
        out << bold(key.english) << "\n\t" << key.englishText << '\n';
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: keysection IN.scd OUT.scd\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::ofstream out(argv[2]);
    if (!in || !out) {
        std::cerr << "keysection: cannot open " << (in ? argv[2] : argv[1]) << '\n';
        return 1;
    }
    const std::string_view marker = "; keys: ";
    std::map<std::string, int> placed;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with(marker)) {
            out << line << '\n';
            continue;
        }
        const std::string name = line.substr(marker.size());
        const keytable::Group* found = nullptr;
        for (const keytable::Group& group : keytable::groups)
            if (name == group.name)
                found = &group;
        if (!found) {
            std::cerr << "keysection: no group of keys named \"" << name << "\"\n";
            return 1;
        }
        ++placed[name];
        writeGroup(out, *found);
    }
    for (const keytable::Group& group : keytable::groups) {
        if (placed[group.name] != 1) {
            std::cerr << "keysection: the group \"" << group.name << "\" is placed "
                      << placed[group.name] << " times, not once\n";
            return 1;
        }
    }
    out.close();
    if (!out) {
        std::cerr << "keysection: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
