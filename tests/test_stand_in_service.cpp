// The stand-in service on its own: keys, the strict document check, the
// record, de-duplication, scripted faults and the DJ page.
#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "stand_in_service.h"

namespace {

using nlohmann::json;

const std::string kKey = "zvknp_T3stT3stT3stT3stT3stT3stT3stT3st";

class StandIn : public ::testing::Test {
protected:
    StandInService service{StandInOptions{0, {{kKey, "DJ Ann"}}, "", ""}};
    std::unique_ptr<httplib::Client> client;

    void SetUp() override {
        ASSERT_TRUE(service.bind());
        service.serveInBackground();
        client = std::make_unique<httplib::Client>("127.0.0.1", service.port());
    }
    httplib::Result post(const std::string& body, const std::string& key = kKey) {
        return client->Post("/api/now-playing", {{"Authorization", "Bearer " + key}}, body,
                            "application/json");
    }
    json get(const std::string& path) { return json::parse(client->Get(path.c_str())->body); }
};

TEST_F(StandIn, GetAnswersTheAccountNameForKnownKeysOnly) {
    auto ok = client->Get("/api/now-playing", {{"Authorization", "Bearer " + kKey}});
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(json::parse(ok->body)["name"], "DJ Ann");
    EXPECT_EQ(client->Get("/api/now-playing", {{"Authorization", "Bearer zvknp_x"}})->status, 401);
    EXPECT_EQ(client->Get("/api/now-playing")->status, 401);
    EXPECT_EQ(post(R"({"tracks":[]})", "wrong")->status, 401);
}

TEST_F(StandIn, MalformedDocumentsGet400AreRecordedAndStoreNothing) {
    const std::vector<std::string> bad = {
        "not json",
        "[]",
        "{}",
        R"({"tracks":{}})",
        R"({"tracks":[],"extra":1})",
        R"({"tracks":["A"]})",
        R"({"tracks":[{"artist":"B","playedAt":"2023-11-14T22:13:20Z"}]})",
        R"({"tracks":[{"title":5,"playedAt":"2023-11-14T22:13:20Z"}]})",
        R"({"tracks":[{"title":"A","artist":null,"playedAt":"2023-11-14T22:13:20Z"}]})",
        R"({"tracks":[{"title":"A"}]})",
        R"({"tracks":[{"title":"A","playedAt":"2023-11-14 22:13:20"}]})",
        R"({"tracks":[{"title":"A","playedAt":"2023-13-14T22:13:20Z"}]})",
        R"({"tracks":[{"title":"A","playedAt":"2023-11-14T22:13:20Z","bpm":"128"}]})",
        R"({"tracks":[],"upNext":{}})",
        R"({"tracks":[],"upNext":[{"title":"A","playedAt":"2023-11-14T22:13:20Z"}]})",
    };
    for (const std::string& body : bad) {
        auto reply = post(body);
        EXPECT_EQ(reply->status, 400) << body;
        EXPECT_FALSE(json::parse(reply->body)["error"].get<std::string>().empty());
    }
    const json requests = get("/_test/requests");
    ASSERT_EQ(requests.size(), bad.size());
    EXPECT_EQ(requests.back()["body"], bad.back());
    EXPECT_TRUE(get("/_test/accounts").empty());
}

TEST_F(StandIn, KeepsHistoryDeduplicatedAndTheLastUpNext) {
    const std::string first =
        R"({"tracks":[{"title":"A","artist":"B","playedAt":"2023-11-14T22:13:20Z"}],)"
        R"("upNext":[{"title":"N"}]})";
    const std::string second =
        R"({"tracks":[{"title":"A","artist":"B","playedAt":"2023-11-14T22:13:20Z"},)"
        R"({"title":"C","playedAt":"2023-11-14T22:16:00Z"}]})";
    EXPECT_EQ(post(first)->status, 200);
    EXPECT_EQ(post(second)->status, 200);
    const json account = get("/_test/accounts")["DJ Ann"];
    ASSERT_EQ(account["history"].size(), 2u);
    EXPECT_EQ(account["history"][0]["count"], 2);
    EXPECT_EQ(account["history"][1]["title"], "C");
    EXPECT_EQ(account["history"][1]["artist"], "");
    EXPECT_EQ(account["upNext"], json::parse(R"([{"title":"N"}])"));
}

TEST_F(StandIn, ScriptedFaultsApplyToTheNextRequestsInOrder) {
    client->Post("/_test/faults", R"({"count":2,"status":503})", "application/json");
    client->Post("/_test/faults", R"({"count":1,"reply":"close"})", "application/json");
    EXPECT_EQ(post(R"({"tracks":[]})")->status, 503);
    EXPECT_EQ(post(R"({"tracks":[]})")->status, 503);
    EXPECT_FALSE(post(R"({"tracks":[]})"));  // closed without a reply
    EXPECT_EQ(post(R"({"tracks":[]})")->status, 200);
    EXPECT_EQ(get("/_test/requests").size(), 4u);
}

TEST_F(StandIn, DjPageShowsNowPlayingHistoryAndUpNextEscaped) {
    post(R"({"tracks":[{"title":"First","playedAt":"2023-11-14T22:13:20Z"},)"
         R"({"title":"<Second> & \"Co\"","artist":"Band","playedAt":"2023-11-14T22:17:05Z"}],)"
         R"("upNext":[{"title":"Third","artist":"Band"}]})");
    const std::string page = client->Get("/dj/DJ Ann")->body;
    const size_t now = page.find("class=\"now\"");
    ASSERT_NE(now, std::string::npos);
    EXPECT_LT(now, page.find("&lt;Second&gt; &amp; &quot;Co&quot;"));
    EXPECT_NE(page.find("22:17:05 UTC"), std::string::npos);
    EXPECT_NE(page.find("22:13:20 UTC"), std::string::npos);
    EXPECT_NE(page.find("<li><span class=\"title\">Third</span>"), std::string::npos);
    EXPECT_NE(page.find("http-equiv=\"refresh\""), std::string::npos);
    EXPECT_EQ(page.find("<Second>"), std::string::npos);
}

}  // namespace
