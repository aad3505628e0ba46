#include "store/model_file.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

bool refuse(ModelFile& model, std::string problem) {
    model.problem = std::move(problem);
    return false;
}

// One line without its line feed: numbers separated by single spaces.
bool parseLine(std::string_view line, std::vector<float>& values, ModelFile& model) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    for (;;) {
        const std::size_t space = line.find(' ');
        const std::string_view token = line.substr(0, space);
        float value = 0.0f;
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (token.empty() || error != std::errc{} || end != token.data() + token.size()) {
            return refuse(model, "\"" + std::string(token.substr(0, 32)) + "\" is not a number");
        }
        if (!std::isfinite(value)) {
            return refuse(model, "it holds " + std::string(token.substr(0, 32)));
        }
        values.push_back(value);
        if (space == std::string_view::npos) {
            return true;
        }
        line.remove_prefix(space + 1);
    }
}

}  // namespace

ModelFileRead parseModelText(const std::string& text, ModelFile& model) {
    model.problem.clear();
    if (text.size() > kMaxModelFileBytes) {
        refuse(model, "it is larger than " + std::to_string(kMaxModelFileBytes) + " bytes");
        return ModelFileRead::Refused;
    }
    if (text.empty() || text.back() != '\n') {
        refuse(model, text.empty() ? "it is empty" : "its last line has no line feed");
        return ModelFileRead::Refused;
    }
    std::vector<float> values;
    int rows = 0;
    std::size_t perRow = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t feed = rest.find('\n');
        const std::size_t before = values.size();
        if (++rows > kMaxModelRows) {
            refuse(model, "it has more than " + std::to_string(kMaxModelRows) + " lines");
            return ModelFileRead::Refused;
        }
        if (!parseLine(rest.substr(0, feed), values, model)) {
            model.problem = "line " + std::to_string(rows) + ": " + model.problem;
            return ModelFileRead::Refused;
        }
        const std::size_t count = values.size() - before;
        if (rows == 1) {
            perRow = count;
        }
        if (count != perRow) {
            refuse(model, "its lines hold different counts of numbers");
            return ModelFileRead::Refused;
        }
        rest.remove_prefix(feed + 1);
    }
    if (perRow < 2 || perRow > static_cast<std::size_t>(kMaxModelValuesPerRow)) {
        refuse(model, "its lines hold " + std::to_string(perRow) + " numbers, not 2 to " +
                          std::to_string(kMaxModelValuesPerRow));
        return ModelFileRead::Refused;
    }
    model.shape.rows = rows;
    model.shape.valuesPerRow = static_cast<std::int32_t>(perRow);
    model.values = std::move(values);
    return ModelFileRead::Read;
}

ModelFileRead readModelFile(ModelFile& model, std::string* read) {
    std::FILE* file = std::fopen(kModelFileName, "rb");
    if (file == nullptr) {
        model.problem = std::string("it cannot be opened: ") + std::strerror(errno);
        return ModelFileRead::Missing;
    }
    std::string text(kMaxModelFileBytes + 1, '\0');
    const std::size_t got = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        model.problem = std::string("it cannot be read: ") + std::strerror(error);
        return ModelFileRead::Missing;
    }
    text.resize(got);
    if (read != nullptr) {
        *read = text;
    }
    return parseModelText(text, model);
}
