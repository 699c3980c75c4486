x=0.5, y=0.5
a=1.8

d
local xnew=a*x*(1-y)
y=x
x=xnew
