#include <gtest/gtest.h>

#include "Core/EngineVersion.h"
#include "Core/ModuleManager.h"

namespace
{
TArray<FString>& Events()
{
    static TArray<FString> List;
    return List;
}

class FTestModule : public IModuleInterface
{
public:
    explicit FTestModule(FString InName, FString InDependency = FString())
        : Name(std::move(InName)), Dependency(std::move(InDependency))
    {
    }
    ~FTestModule() override { Events().Add("delete " + Name); }
    void StartupModule() override
    {
        if (!Dependency.IsEmpty())
        {
            FModuleManager::Get().LoadModule(Dependency);
        }
        Events().Add("start " + Name);
    }
    void PreUnloadCallback() override { Events().Add("preunload " + Name); }
    void ShutdownModule() override
    {
        const bool bFound = FModuleManager::Get().GetModule(Name) == this;
        Events().Add("shutdown " + Name + (bFound ? " (found)" : ""));
    }

    FString Name;
    FString Dependency;
};

class ModuleManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Events().Reset();
        Register("TestBase");
        Register("TestDependent", "TestBase");
        Register("TestOther");
    }
    void TearDown() override { FModuleManager::Get().UnloadAllModules(); }

    static void Register(const FString& Name, const FString& Dependency = FString())
    {
        FModuleManager::Get().RegisterModule(Name, [Name, Dependency]
                                             { return new FTestModule(Name, Dependency); });
    }
    static FString Joined() { return FString::Join(Events(), ", "); }
};
} // namespace

TEST_F(ModuleManagerTest, LoadStartsOnceAndReturnsTheSameInstance)
{
    FModuleManager& Modules = FModuleManager::Get();
    IModuleInterface* First = Modules.LoadModule("TestOther");
    ASSERT_NE(First, nullptr);
    EXPECT_EQ(Modules.LoadModule("testother"), First);
    EXPECT_TRUE(Modules.IsModuleLoaded("TestOther"));
    EXPECT_EQ(Modules.GetModulePtr<FTestModule>("TestOther"), First);
    EXPECT_EQ(&Modules.LoadModuleChecked<FTestModule>("TestOther"), First);
    EXPECT_TRUE(Joined().Equals("start TestOther"));
}

TEST_F(ModuleManagerTest, UnknownOrFailingModulesAreNotLoaded)
{
    FModuleManager& Modules = FModuleManager::Get();
    EXPECT_EQ(Modules.LoadModule("NoSuchModule"), nullptr);
    Modules.RegisterModule("TestNull", [] { return static_cast<IModuleInterface*>(nullptr); });
    EXPECT_EQ(Modules.LoadModule("TestNull"), nullptr);
    EXPECT_FALSE(Modules.IsModuleLoaded("TestNull"));
    EXPECT_EQ(Modules.GetModulePtr<FTestModule>("TestOther"), nullptr) << "GetModulePtr never loads";
    EXPECT_FALSE(Modules.UnloadModule("TestOther"));
}

TEST_F(ModuleManagerTest, UnloadShutsDownWhileStillFoundThenDeletes)
{
    FModuleManager& Modules = FModuleManager::Get();
    ASSERT_NE(Modules.LoadModule("TestOther"), nullptr);
    Events().Reset();
    EXPECT_TRUE(Modules.UnloadModule("TestOther"));
    EXPECT_TRUE(Joined().Equals("shutdown TestOther (found), delete TestOther")) << *Joined();
    EXPECT_FALSE(Modules.IsModuleLoaded("TestOther"));
    EXPECT_FALSE(Modules.UnloadModule("TestOther"));
}

TEST_F(ModuleManagerTest, UnloadAllGoesInReverseOrderWithDependenciesLast)
{
    FModuleManager& Modules = FModuleManager::Get();
    Modules.LoadModule("TestDependent");
    Modules.LoadModule("TestOther");
    EXPECT_TRUE(Joined().Equals("start TestBase, start TestDependent, start TestOther"));
    Events().Reset();
    Modules.UnloadAllModules();
    EXPECT_TRUE(
        Joined().Equals("preunload TestOther, preunload TestDependent, preunload TestBase, "
                        "shutdown TestOther (found), delete TestOther, shutdown TestDependent (found), "
                        "delete TestDependent, shutdown TestBase (found), delete TestBase"))
        << *Joined();
    EXPECT_FALSE(Modules.IsModuleLoaded("TestBase"));
}

TEST(EngineVersion, FormatsEveryComponentRange)
{
    const FEngineVersion Version(4, 27, 2, 0, "++zor+main");
    EXPECT_TRUE(Version.ToString().Equals("4.27.2-0+++zor+main"));
    EXPECT_TRUE(Version.ToString(EVersionComponent::Changelist).Equals("4.27.2-0"));
    EXPECT_TRUE(Version.ToString(EVersionComponent::Patch).Equals("4.27.2"));
    EXPECT_TRUE(Version.ToString(EVersionComponent::Minor).Equals("4.27"));
    EXPECT_TRUE(Version.ToString(EVersionComponent::Major).Equals("4"));
    EXPECT_EQ(&GEngineVersion, &FEngineVersion::Current());
    EXPECT_FALSE(GEngineVersion.ToString().IsEmpty());
}
