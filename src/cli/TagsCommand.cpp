#include "cli/TagsCommand.h"

#include "base/Messages.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/NameQuoting.h"
#include "platform/ExtendedAttributes.h"
#include "platform/FileSystem.h"
#include "platform/JsonString.h"
#include "sync/KCopyItem.h"
#include "sync/TagEditor.h"

#include <cstdio>
#include <memory>

namespace qv {
namespace {

struct TagsOptions {
    std::vector<std::string> paths;
    std::string tags;
    bool json = false;
};

// Only entries that exist are read or written; a link counts as itself.
int missingEntry(const std::string& path) {
    platform::EntryStat st;
    return platform::systemFileSystem().statPath(path, false, st);
}

void appendTags(std::string& out, const std::vector<std::string>& tags) {
    out += '[';
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (i) out += ',';
        platform::appendJsonString(out, tags[i]);
    }
    out += ']';
}

int runGet(const TagsOptions& o) {
    int status = 0;
    std::string json = "[";
    for (const std::string& path : o.paths) {
        std::vector<std::string> tags;
        const int error = missingEntry(path);
        if (error) {
            printError(Messages::format("cliTagsFailed", QString::fromStdString(quotedName(path)), errorText(error)));
            status = 1;
        } else if (const auto read = platform::readTags(path, false)) {
            tags = *read;
        }
        if (o.json) {
            if (json.size() > 1) json += ',';
            json += "{\"path\":";
            platform::appendJsonString(json, path);
            json += ",\"tags\":";
            appendTags(json, tags);
            json += error ? ",\"error\":" : "";
            if (error) platform::appendJsonString(json, errorText(error).toStdString());
            json += '}';
        } else if (!error) {
            QStringList names;
            for (const std::string& tag : tags) names << QString::fromStdString(tag);
            std::printf("%s\t%s\n", quotedName(path).c_str(), names.join(QLatin1Char(';')).toUtf8().constData());
        }
    }
    if (o.json) std::printf("%s]\n", json.c_str());
    return status;
}

int runSet(const TagsOptions& o) {
    const QStringList tags = TagEditor::tagsFromText(QString::fromStdString(o.tags));
    if (const QString bad = TagEditor::unstorableName(tags); !bad.isEmpty())
        return failLine(Messages::format("cliTagNoComma", bad));
    std::vector<std::string> existing;
    int status = 0;
    for (const std::string& path : o.paths) {
        if (const int error = missingEntry(path)) {
            printError(Messages::format("cliTagsFailed", QString::fromStdString(quotedName(path)), errorText(error)));
            status = 1;
        } else {
            existing.push_back(path);
        }
    }
    for (const TagWriteFailure& failure : TagEditor::SaveTags(existing, tags)) {
        printError(Messages::format("cliTagsFailed", QString::fromStdString(quotedName(failure.path)),
                                    TagEditor::failureText(failure)));
        status = 1;
    }
    return status;
}

}  // namespace

void addTagsCommand(CommandLine& cli) {
    auto o = std::make_shared<TagsOptions>();
    CLI::App* tags = cli.addCommand(cli.root(), "tags", "cliCmdTags", "cliExampleTags", nullptr);
    CLI::App* get = cli.addCommand(*tags, "get", "cliCmdTagsGet", nullptr, [o] { return runGet(*o); });
    described(get->add_option("PATH", o->paths), "cliArgTagPaths")->required();
    described(get->add_flag("--json", o->json), "cliOptJson");
    CLI::App* set = cli.addCommand(*tags, "set", "cliCmdTagsSet", nullptr, [o] { return runSet(*o); });
    described(set->add_option("PATH", o->paths), "cliArgTagPaths")->required();
    described(set->add_option("--tags", o->tags), "cliOptTags")->type_name("\"A;B\"")->required();
}

}  // namespace qv
