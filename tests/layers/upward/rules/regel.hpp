// A header of the rules.
#pragma once
