#include "chanmon_output.h"

#include <algorithm>

#include "textlist.h"

namespace {

std::string Path(const ObjectNames& names, const CsvColumns& columns, size_t instance, size_t counter) {
    std::string path = "\\" + names.object;
    if (columns.instances) path += "(" + columns.names[instance] + ")";
    return path + "\\" + columns.counters[counter];
}

// The instance of `object` for column `column`: the one with the column's name,
// counting equal names in order.
const InstanceData* InstanceFor(const CsvColumns& columns, size_t column, const ObjectData& object) {
    if (!columns.instances) return object.numInstances == PERF_NO_INSTANCES_VALUE ? &object.instances[0] : nullptr;
    const std::string& name = columns.names[column];
    size_t occurrence = size_t(std::count(columns.names.begin(), columns.names.begin() + long(column), name));
    for (const InstanceData& i : object.instances)
        if (Utf8(i.name) == name && occurrence-- == 0) return &i;
    return nullptr;
}

std::string Pad(const std::string& text, size_t width, bool right) {
    if (text.size() >= width) return text;
    std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

}  // namespace

std::string CsvField(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

CsvColumns CsvColumnsOf(const ObjectNames& names, const ObjectData& object) {
    CsvColumns columns;
    columns.instances = object.numInstances != PERF_NO_INSTANCES_VALUE;
    if (columns.instances)
        for (const InstanceData& i : object.instances) columns.names.push_back(Utf8(i.name));
    else
        columns.names.push_back("");
    columns.counters = names.counters;
    columns.counters.resize(object.counters.size());
    return columns;
}

std::string CsvHeader(const ObjectNames& names, const CsvColumns& columns) {
    std::string line = CsvField("Time");
    for (size_t i = 0; i < columns.names.size(); ++i)
        for (size_t k = 0; k < columns.counters.size(); ++k) line += "," + CsvField(Path(names, columns, i, k));
    return line + "\n";
}

std::string CsvRow(const std::string& time, const CsvColumns& columns, const ObjectData* object,
                   const uint8_t* data) {
    std::string line = CsvField(time);
    for (size_t i = 0; i < columns.names.size(); ++i) {
        const InstanceData* instance = object != nullptr ? InstanceFor(columns, i, *object) : nullptr;
        for (size_t k = 0; k < columns.counters.size(); ++k) {
            std::string value;
            if (instance != nullptr && k < object->counters.size())
                value = std::to_string(CounterValue(data, *instance, object->counters[k]));
            line += "," + CsvField(value);
        }
    }
    return line + "\n";
}

std::string TableLegend(const ObjectNames& names, const ObjectData& object) {
    std::string text = names.object + " (object " + std::to_string(object.nameIndex) + "): " +
                       std::to_string(object.counters.size()) + " counters, one column each\n";
    for (size_t k = 0; k < object.counters.size(); ++k)
        text += Pad(std::to_string(k), 4, true) + "  " + (k < names.counters.size() ? names.counters[k] : "") + "\n";
    return text;
}

std::string TableSample(const std::string& time, uint32_t sample, const ObjectData& object, const uint8_t* data) {
    const bool instances = object.numInstances != PERF_NO_INSTANCES_VALUE;
    std::string text = "\n" + time + "  sample " + std::to_string(sample) + ": ";
    if (instances)
        text += std::to_string(object.instances.size()) + (object.instances.size() == 1 ? " instance\n" : " instances\n");
    else
        text += "no instances\n";
    if (object.instances.empty()) return text;

    std::vector<std::string> labels;
    std::vector<std::vector<std::string>> cells;
    size_t labelWidth = 8;  // "instance"
    std::vector<size_t> widths;
    for (size_t k = 0; k < object.counters.size(); ++k) widths.push_back(std::to_string(k).size());
    for (const InstanceData& i : object.instances) {
        labels.push_back(instances ? Utf8(i.name) : "-");
        labelWidth = std::max(labelWidth, labels.back().size());
        cells.emplace_back();
        for (size_t k = 0; k < object.counters.size(); ++k) {
            cells.back().push_back(std::to_string(CounterValue(data, i, object.counters[k])));
            widths[k] = std::max(widths[k], cells.back().back().size());
        }
    }
    text += Pad("instance", labelWidth, false);
    for (size_t k = 0; k < widths.size(); ++k) text += "  " + Pad(std::to_string(k), widths[k], true);
    text += "\n";
    for (size_t r = 0; r < labels.size(); ++r) {
        text += Pad(labels[r], labelWidth, false);
        for (size_t k = 0; k < widths.size(); ++k) text += "  " + Pad(cells[r][k], widths[k], true);
        text += "\n";
    }
    return text;
}
