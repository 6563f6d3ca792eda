// Reads every #include of the program's folders against the table of allowed
// arrows in ARCHITECTURE.md. Usage: layer_check SOURCE_ROOT [TABLE]
// Exit 0 when every include follows an arrow of the table, 1 with a line per
// include that does not, 2 when the table or the tree cannot be read.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Layer {
    std::set<std::string> mayInclude;
};

// The rows "| `folder` | `library` | `a` `b` ... |" of the table.
std::map<std::string, Layer> readTable(const fs::path &table)
{
    std::ifstream in(table);
    if (!in)
        throw std::runtime_error("cannot read " + table.string());
    std::map<std::string, Layer> layers;
    const std::regex row(R"(^\|\s*`([^`]+)`\s*\|\s*`[^`]+`\s*\|([^|]*)\|\s*$)");
    const std::regex name("`([^`]+)`");
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, row))
            continue;
        Layer &layer = layers[m[1]];
        const std::string uses = m[2];
        for (std::sregex_iterator it(uses.begin(), uses.end(), name), end; it != end; ++it)
            layer.mayInclude.insert((*it)[1]);
    }
    if (layers.empty())
        throw std::runtime_error(table.string() + " has no table of layers");
    return layers;
}

// Qt's headers: <QString>, <QtCore/QString>, <qglobal.h> is not used by us.
bool isQtHeader(const std::string &header)
{
    return header.size() > 1 && header[0] == 'Q' && (std::isupper(static_cast<unsigned char>(header[1])) || header[1] == 't');
}

bool isQtFolder(const std::string &folder)
{
    return folder == "qt" || (folder.size() > 3 && folder.compare(folder.size() - 3, 3, "/qt") == 0);
}

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A circle of "may include" arrows, as the folders along it; empty if none.
std::vector<std::string> findCycle(const std::map<std::string, Layer> &layers)
{
    std::map<std::string, int> state; // 1 on the path, 2 done
    std::vector<std::string> path;
    std::function<bool(const std::string &)> visit = [&](const std::string &folder) {
        state[folder] = 1;
        path.push_back(folder);
        const auto layer = layers.find(folder);
        if (layer != layers.end())
            for (const std::string &next : layer->second.mayInclude) {
                if (state[next] == 1) {
                    path.erase(path.begin(), std::find(path.begin(), path.end(), next));
                    path.push_back(next);
                    return true;
                }
                if (state[next] == 0 && visit(next))
                    return true;
            }
        path.pop_back();
        state[folder] = 2;
        return false;
    };
    for (const auto &[folder, layer] : layers)
        if (state[folder] == 0 && visit(folder))
            return path;
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: layer_check SOURCE_ROOT [TABLE]\n";
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path tablePath = argc == 3 ? fs::path(argv[2]) : root / "ARCHITECTURE.md";
    std::map<std::string, Layer> layers;
    try {
        layers = readTable(tablePath);
    } catch (const std::exception &e) {
        std::cerr << "layer_check: " << e.what() << '\n';
        return 2;
    }
    int faults = 0;
    // The arrows must run one way: a back-include is not mended by an arrow
    // back up in the table.
    const std::vector<std::string> cycle = findCycle(layers);
    if (!cycle.empty()) {
        std::cout << "the table of layers runs in a circle:";
        for (const std::string &folder : cycle)
            std::cout << " `" << folder << '`';
        std::cout << '\n';
        ++faults;
    }

    // Every top-level folder with C++ in it is a layer, except the ones that
    // stand above the program (tests, benchmarks, fuzz targets) and builds.
    const std::set<std::string> above = {"tests", "bench", "fuzz", "cmake", "packaging", "docs", "scripts"};
    std::set<std::string> tops;
    std::vector<std::string> sources;
    std::error_code ec;
    for (fs::directory_iterator top(root, ec), end; !ec && top != end; top.increment(ec)) {
        const std::string name = top->path().filename().string();
        if (!top->is_directory() || above.count(name) || name.rfind("build", 0) == 0 || name[0] == '.')
            continue;
        std::error_code inner;
        for (fs::recursive_directory_iterator it(top->path(), inner), stop; !inner && it != stop; it.increment(inner)) {
            const fs::path &p = it->path();
            const auto ext = p.extension();
            if (it->is_regular_file() && (ext == ".h" || ext == ".cpp")) {
                sources.push_back(fs::relative(p, root).generic_string());
                tops.insert(name);
            }
        }
        if (inner) {
            std::cerr << "layer_check: cannot read " << top->path().string() << ": " << inner.message() << '\n';
            return 2;
        }
    }
    if (ec) {
        std::cerr << "layer_check: cannot read " << root.string() << ": " << ec.message() << '\n';
        return 2;
    }
    std::sort(sources.begin(), sources.end());

    const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    int includes = 0;
    for (const std::string &source : sources) {
        const std::string folder = folderOf(source);
        const auto layer = layers.find(folder);
        if (layer == layers.end()) {
            std::cout << source << ": folder `" << folder << "` is not in the table of layers\n";
            ++faults;
            continue;
        }
        std::ifstream in(root / source);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            std::smatch m;
            if (!std::regex_search(line, m, include))
                continue;
            ++includes;
            const std::string header = m[2];
            if (m[1] == "<") {
                if (isQtHeader(header) && !isQtFolder(folder)) {
                    std::cout << source << ':' << number << ": `" << folder << "` is Qt-free but includes <"
                              << header << ">\n";
                    ++faults;
                }
                continue;
            }
            if (header.find("..") != std::string::npos) {
                std::cout << source << ':' << number << ": includes \"" << header
                          << "\" by a relative path; name it from the top of the tree\n";
                ++faults;
                continue;
            }
            const std::string target = folderOf(header);
            if (target.empty() || target == folder || !tops.count(target.substr(0, target.find('/'))))
                continue; // beside itself, or not one of ours (a generated header)
            if (!layers.count(target)) {
                std::cout << source << ':' << number << ": includes \"" << header << "\" from `" << target
                          << "`, a folder the table of layers does not name\n";
                ++faults;
            } else if (!layer->second.mayInclude.count(target)) {
                std::cout << source << ':' << number << ": `" << folder << "` may not include \"" << header
                          << "\" (`" << target << "` is not below it in the table)\n";
                ++faults;
            }
        }
    }
    if (faults > 0) {
        std::cout << faults << " include(s) against the arrows of " << tablePath.generic_string() << '\n';
        return 1;
    }
    std::cout << sources.size() << " files, " << includes << " includes: every arrow is in the table\n";
    return 0;
}
