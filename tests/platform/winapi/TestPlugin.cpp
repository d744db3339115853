extern "C" int TestPluginAnswer() {
    return 42;
}
