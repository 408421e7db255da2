# The suite uses the package's own fixture, as a user's suite does without installing it.
pytest_plugins = ["zelko.pytest_plugin"]
