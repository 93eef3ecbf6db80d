// The administrative template in group_policy/ against the program that it
// stands for.  Its drive items, masks, key and value names must be those of
// the drive table and policy_keys.h, so a change there that the template does
// not follow fails here; and Group Policy's editors refuse a template whose
// references do not resolve, so every one is followed.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "policy/drive_selection_table.h"
#include "policy/policy_keys.h"
#include "text/utf.h"

namespace {

// One file of the template and XPath queries on it; "p:" is the namespace of
// Microsoft's policy definitions, which both files use.
class TemplateFile {
public:
    explicit TemplateFile(const std::string& path)
        : doc(xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET), xmlFreeDoc) {
        if (!doc) throw std::runtime_error(path + " is missing or not well-formed XML");
    }

    // The text of every node that `xpath` selects, in the file's order.
    std::vector<std::string> All(const std::string& xpath) const {
        const std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(xmlXPathNewContext(doc.get()),
                                                                                       xmlXPathFreeContext);
        xmlXPathRegisterNs(context.get(), BAD_CAST "p",
                           BAD_CAST "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions");
        const std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> found(
            xmlXPathEvalExpression(BAD_CAST xpath.c_str(), context.get()), xmlXPathFreeObject);
        if (!found) throw std::runtime_error("not an XPath expression: " + xpath);
        std::vector<std::string> texts;
        for (int i = 0; found->nodesetval && i < found->nodesetval->nodeNr; ++i) {
            xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
            texts.emplace_back(content ? reinterpret_cast<const char*>(content) : "");
            xmlFree(content);
        }
        return texts;
    }

    std::size_t Count(const std::string& xpath) const { return All(xpath).size(); }

    // The text of the one node that `xpath` selects; "" and a failure unless
    // there is exactly one.
    std::string One(const std::string& xpath) const {
        const auto texts = All(xpath);
        if (texts.size() == 1) return texts.front();
        ADD_FAILURE() << texts.size() << " nodes instead of one: " << xpath;
        return "";
    }

private:
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc;
};

struct Template {
    TemplateFile admx{QUELVANE_GROUP_POLICY_DIR "/Quelvane2.admx"};
    TemplateFile adml{QUELVANE_GROUP_POLICY_DIR "/en-US/Quelvane2.adml"};

    // What $(string.X) shows, or the id X of $(presentation.X).
    std::string Resolve(const std::string& reference, const std::string& kind) const {
        std::smatch match;
        if (!std::regex_match(reference, match, std::regex(R"(\$\()" + kind + R"(\.(\w+)\))"))) {
            ADD_FAILURE() << "not a " << kind << " reference: " << reference;
            return "";
        }
        return kind == "string" ? adml.One("//p:stringTable/p:string[@id='" + match[1].str() + "']") : match[1].str();
    }
};

const Template& Files() {
    static const Template files;
    return files;
}

struct DrivePolicy {
    std::wstring_view valueName;
    std::string programText;  // named after the program's radio button, without its trailing blank
};

void PrintTo(const DrivePolicy& drivePolicy, std::ostream* out) { *out << text::ToUtf8(drivePolicy.valueName); }

class GroupPolicyDriveTemplate : public ::testing::TestWithParam<DrivePolicy> {};

TEST_P(GroupPolicyDriveTemplate, OffersTheDriveTableInTheProgramsOrderUnderTheProgramsKey) {
    const Template& files = Files();
    const std::string policy = "//p:policy[p:elements/p:enum/@valueName='" + text::ToUtf8(GetParam().valueName) + "']";
    ASSERT_EQ(files.admx.Count(policy), 1u);
    EXPECT_EQ(files.admx.One(policy + "/@key"), text::ToUtf8(policy::ExplorerPolicyPath));
    EXPECT_EQ(files.admx.One(policy + "/@class"), "Both");
    // A value name of the policy's own would make Enabled write a second value.
    EXPECT_EQ(files.admx.Count(policy + "/@valueName"), 0u);
    EXPECT_EQ(files.Resolve(files.admx.One(policy + "/@displayName"), "string"), GetParam().programText);
    EXPECT_EQ(files.admx.One(policy + "/p:supportedOn/@ref"), "windows:SUPPORTED_Win2k");

    // The drop-down is the policy's only element and must be chosen; its
    // presentation binds it and keeps the program's order.
    EXPECT_EQ(files.admx.Count(policy + "/p:elements/*"), 1u);
    const std::string list = policy + "/p:elements/p:enum";
    EXPECT_EQ(files.admx.One(list + "/@required"), "true");
    const std::string presentation = "//p:presentationTable/p:presentation[@id='" +
                                     files.Resolve(files.admx.One(policy + "/@presentation"), "presentation") + "']";
    EXPECT_EQ(files.adml.Count(presentation + "/*"), 1u);
    EXPECT_EQ(files.adml.One(presentation + "/p:dropdownList/@refId"), files.admx.One(list + "/@id"));
    EXPECT_EQ(files.adml.One(presentation + "/p:dropdownList/@noSort"), "true");

    const auto items = files.admx.All(list + "/p:item/@displayName");
    const auto masks = files.admx.All(list + "/p:item/p:value/p:decimal/@value");
    ASSERT_EQ(items.size(), policy::DriveSelectionRowCount);
    ASSERT_EQ(masks.size(), policy::DriveSelectionRowCount);
    for (std::size_t i = 0; i < policy::DriveSelectionRowCount; ++i) {
        const auto& row = policy::DriveSelectionTable[i];
        EXPECT_EQ(files.Resolve(items[i], "string"), text::ToUtf8(row.item)) << "item " << i;
        EXPECT_EQ(masks[i], std::to_string(row.mask)) << text::ToUtf8(row.item);
    }
}

INSTANTIATE_TEST_SUITE_P(BothPolicies, GroupPolicyDriveTemplate,
                         ::testing::Values(DrivePolicy{policy::NoDrivesName, "Hide Drives in My Computer"},
                                           DrivePolicy{policy::NoViewOnDriveName,
                                                       "Prevent Access to the Contents of Selected Drives"}),
                         [](const auto& info) { return text::ToUtf8(info.param.valueName); });

TEST(GroupPolicyTemplate, EveryReferenceResolvesAndEveryNameIsPlain) {
    const Template& files = Files();
    const std::regex reference(R"(\$\((string|presentation)\.(.*)\))");
    std::size_t references = 0;
    for (const auto& value : files.admx.All("//@*")) {
        std::smatch match;
        if (!std::regex_match(value, match, reference)) {
            EXPECT_FALSE(value.starts_with("$(")) << "a reference of no known kind: " << value;
            continue;
        }
        const std::string table =
            match[1] == "string" ? "//p:stringTable/p:string" : "//p:presentationTable/p:presentation";
        EXPECT_EQ(files.adml.Count(table + "[@id='" + match[2].str() + "']"), 1u) << value;
        ++references;
    }
    EXPECT_GE(references, 2 * policy::DriveSelectionRowCount);

    // Microsoft's rule for names and ids: letters, digits and underscores.
    const std::regex plain("[A-Za-z0-9_]+");
    auto names =
        files.admx.All("//p:policy/@name | //p:category/@name | //p:elements/*/@id | //p:policyNamespaces/*/@prefix");
    const auto ids = files.adml.All("//p:string/@id | //p:presentation/@id");
    names.insert(names.end(), ids.begin(), ids.end());
    for (const auto& name : names) EXPECT_TRUE(std::regex_match(name, plain)) << name;

    // A prefixed reference needs a declared prefix; an unprefixed one names a
    // category or supportedOn definition of this file.
    const auto prefixes = files.admx.All("//p:policyNamespaces/*/@prefix");
    for (const auto& ref : files.admx.All("//@ref")) {
        if (const auto colon = ref.find(':'); colon != std::string::npos)
            EXPECT_EQ(std::ranges::count(prefixes, ref.substr(0, colon)), 1) << ref;
        else
            EXPECT_EQ(files.admx.Count("//p:category[@name='" + ref + "'] | //p:definition[@name='" + ref + "']"), 1u)
                << ref;
    }

    const std::string revision = files.admx.One("/p:policyDefinitions/@revision");
    EXPECT_EQ(files.admx.One("/p:policyDefinitions/p:resources/@minRequiredRevision"), revision);
    EXPECT_EQ(files.adml.One("/p:policyDefinitionResources/@revision"), revision);
}

}  // namespace
