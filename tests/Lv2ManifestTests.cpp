// Reads the built LV2 bundle with lilv alone, the way an LV2 host that knows nothing of JUCE
// sees it: the plug-in's URI, its ports and its seven parameters.

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <map>
#include <string>

namespace
{
    struct ExpectedRange
    {
        float minimum, maximum, defaultValue;
    };

    class Lv2Bundle : public testing::Test
    {
    protected:
        void SetUp() override
        {
            world = lilv_world_new();
            auto* bundle = lilv_new_file_uri (world, nullptr, (std::string (ASTREL_LV2_BUNDLE) + "/").c_str());
            lilv_world_load_bundle (world, bundle);
            lilv_node_free (bundle);

            auto* uri = lilv_new_uri (world, ASTREL_LV2_URI);
            plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);

            // The plug-in's own data file is read on demand; the parameter queries below go
            // to the world directly, so load it now.
            lilv_world_load_resource (world, uri);
            lilv_node_free (uri);
        }

        void TearDown() override { lilv_world_free (world); }

        std::string stringOf (const LilvNode* subject, const char* predicateUri)
        {
            auto* predicate = lilv_new_uri (world, predicateUri);
            auto* value = lilv_world_get (world, subject, predicate, nullptr);
            lilv_node_free (predicate);

            std::string result = value != nullptr ? lilv_node_as_string (value) : "";
            lilv_node_free (value);
            return result;
        }

        float floatOf (const LilvNode* subject, const char* predicateUri)
        {
            auto* predicate = lilv_new_uri (world, predicateUri);
            auto* value = lilv_world_get (world, subject, predicate, nullptr);
            lilv_node_free (predicate);

            const auto result = value != nullptr ? lilv_node_as_float (value) : -12345.0f;
            lilv_node_free (value);
            return result;
        }

        LilvWorld* world = nullptr;
        const LilvPlugin* plugin = nullptr;
    };
} // namespace

TEST_F (Lv2Bundle, PublishesTheAbsoluteUriAndAStereoEffect)
{
    ASSERT_NE (plugin, nullptr) << "no plug-in with URI " << ASTREL_LV2_URI;
    EXPECT_STREQ (lilv_node_as_uri (lilv_plugin_get_uri (plugin)), "https://orlimund.audio/plugins/astrel");

    auto* name = lilv_plugin_get_name (plugin);
    ASSERT_NE (name, nullptr);
    EXPECT_STREQ (lilv_node_as_string (name), "Astrel");
    lilv_node_free (name);

    auto* audio = lilv_new_uri (world, LILV_URI_AUDIO_PORT);
    auto* input = lilv_new_uri (world, LILV_URI_INPUT_PORT);
    auto* output = lilv_new_uri (world, LILV_URI_OUTPUT_PORT);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio, input, nullptr), 2u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio, output, nullptr), 2u);
    lilv_node_free (audio);
    lilv_node_free (input);
    lilv_node_free (output);
}

TEST_F (Lv2Bundle, PublishesTheSevenParametersWithTheirNamesAndRanges)
{
    ASSERT_NE (plugin, nullptr);

    const std::map<std::string, ExpectedRange> expected {
        { "Pan", { -1.0f, 1.0f, 0.0f } },          { "Depth", { 0.0f, 1.0f, 0.0f } },
        { "Bass Protect", { 0.0f, 2000.0f, 0.0f } }, { "Mono Bass", { 0.0f, 1.0f, 0.0f } },
        { "Spotlight", { 0.0f, 100.0f, 0.0f } },   { "Gain Trim", { -12.0f, 12.0f, 0.0f } },
        { "Bypass", { 0.0f, 1.0f, 0.0f } },
    };

    auto* writable = lilv_new_uri (world, "http://lv2plug.in/ns/ext/patch#writable");
    auto* parameters = lilv_world_find_nodes (world, lilv_plugin_get_uri (plugin), writable, nullptr);
    lilv_node_free (writable);
    ASSERT_NE (parameters, nullptr);

    std::map<std::string, ExpectedRange> found;

    LILV_FOREACH (nodes, i, parameters)
    {
        const auto* parameter = lilv_nodes_get (parameters, i);
        const auto label = stringOf (parameter, "http://www.w3.org/2000/01/rdf-schema#label");
        found[label] = { floatOf (parameter, "http://lv2plug.in/ns/lv2core#minimum"),
                         floatOf (parameter, "http://lv2plug.in/ns/lv2core#maximum"),
                         floatOf (parameter, "http://lv2plug.in/ns/lv2core#default") };
    }

    lilv_nodes_free (parameters);

    ASSERT_EQ (found.size(), expected.size());

    for (const auto& [name, range] : expected)
    {
        SCOPED_TRACE (name);
        ASSERT_EQ (found.count (name), 1u);
        EXPECT_FLOAT_EQ (found[name].minimum, range.minimum);
        EXPECT_FLOAT_EQ (found[name].maximum, range.maximum);
        EXPECT_FLOAT_EQ (found[name].defaultValue, range.defaultValue);
    }
}
