copy CALC.dll ..\bin
del CALC.tmp&SelfKiller

